// Files and folders with Windows semantics: attributes, identity, deletion.
//
// Every function takes a system path (see paths.h); a path with no host
// meaning fails with kErrorBadPathname. Results are Windows error numbers.
// Symbolic links stand for junctions and Windows symbolic links: they carry
// the reparse-point attribute and are never followed when deleting.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/errors/win_error.h"

namespace rk::sys {

// The Win32 FILE_ATTRIBUTE_* bits this layer reports.
inline constexpr DWORD kFileAttributeReadonly = 0x1;
inline constexpr DWORD kFileAttributeDirectory = 0x10;
inline constexpr DWORD kFileAttributeNormal = 0x80;
inline constexpr DWORD kFileAttributeReparsePoint = 0x400;
// IO_REPARSE_TAG_SYMLINK, the tag a symbolic link reports.
inline constexpr DWORD kIoReparseTagSymlink = 0xA000000C;

struct FileStatus {
    DWORD attributes = 0;  // kFileAttribute* bits; kFileAttributeNormal when none
    DWORD reparse_tag = 0;  // kIoReparseTagSymlink for a link, else 0
};

// GetFileAttributesW + the find data's reparse tag. A link is described
// itself, not its target (a dangling link exists); it has the directory bit
// when its target is a directory. Read-only means the owner write bit is
// clear.
DWORD get_file_status(std::wstring_view path, FileStatus& status);

bool path_exists(std::wstring_view path);
bool is_directory(std::wstring_view path);  // a real directory or a link to one
bool is_reparse_point(std::wstring_view path);
bool is_read_only(std::wstring_view path);

// Sets (removes every write bit) or clears (adds the owner write bit) the
// read-only attribute. On a link it changes the target: Linux links have no
// mode of their own.
DWORD set_read_only(std::wstring_view path, bool read_only);

// The identity of the file a path names (links followed), as
// GetFileInformationByHandle's volume serial number and file index: two paths
// name the same file when their identities are equal.
struct FileId {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    friend bool operator==(const FileId&, const FileId&) = default;
};
DWORD get_file_id(std::wstring_view path, FileId& id);

// DeleteFileW: removes a file or a link (never its target). A read-only file
// is refused with kErrorAccessDenied unless `clear_read_only`; a directory is
// refused with kErrorAccessDenied.
DWORD delete_file(std::wstring_view path, bool clear_read_only = false);

// RemoveDirectoryW: removes an empty directory (kErrorDirNotEmpty otherwise)
// or a link, whatever it points to (the link only, so a dangling junction can
// go too); a file is kErrorDirectory.
DWORD remove_directory(std::wstring_view path);

// Removes a whole tree: files, links (not their targets) and folders, clearing
// read-only bits on the way. A link at `path` itself is removed as a link.
// Continues past failures and returns the first one; a missing path is
// kErrorFileNotFound (or kErrorPathNotFound when a parent is missing). "/"
// and the root prefix itself ("C:\") are refused with kErrorAccessDenied.
DWORD delete_tree(std::wstring_view path);

// CreateDirectoryW: kErrorAlreadyExists when the name exists (whatever it
// is), kErrorPathNotFound when the parent folder is missing.
DWORD create_directory(std::wstring_view path);

// GetTempFileNameW: creates a new empty file with a unique name that starts
// with `prefix` in `folder` (private to this user) and returns its path.
DWORD create_temp_file(std::wstring_view folder, std::wstring_view prefix, std::wstring& path);

// SHCreateDirectoryEx: creates the folder and its missing parents; success
// when it already is a folder (a link to one counts), kErrorAlreadyExists
// when the name is taken by something else.
DWORD create_directories(std::wstring_view path);

// create_directories for a host path, new folders made with `mode` (less the
// umask); for the seam's own folders.
DWORD make_directories(const std::filesystem::path& host_path, unsigned mode);

}  // namespace rk::sys
