// Folders that the system writes into, held open so that nothing written
// below them can leave them.
//
// prepare_folder() is the one way a writer reaches its folder: from a trusted
// base (a known folder, the engine's own data folder) it walks a relative
// path one level at a time with openat(O_NOFOLLOW | O_DIRECTORY) below the
// level before. A symbolic link met on the way (a junction or Windows link)
// is removed, not followed, and a real folder is made in its place; missing
// folders are created. Files are then opened relative to the open folder,
// never following a link at their name. A link swapped in after these checks
// is therefore never followed either: every step works on the folders
// already open, not on path text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors/win_error.h"
#include "platform/system/file.h"

namespace rk::sys {

enum class FolderCreation {
    kNone,      // open what exists: a missing level, or a link at one, is 3 (2 for the last); nothing changes
    kAll,       // SHCreateDirectoryEx: every missing level is made
    kLastOnly,  // CreateDirectoryW: only the last level (and levels that were links); a missing one above is 3
};

// The components of a relative path below a base: `\` and `/` separate, runs
// collapse, "." goes, ".." takes back the previous component. Empty result
// for the base itself. kErrorBadPathname (161) for a path that climbs above
// the base, is absolute (leading separator, drive letter), or has a
// component that is no valid name (NUL, not Unicode).
DWORD split_relative_path(std::wstring_view relative, std::vector<std::string>& components);

// What a name in a folder stands for now, a link at it described itself
// (GetFileAttributesExW with FILE_FLAG_OPEN_REPARSE_POINT, plus the file
// identity): times in nanoseconds since 1970.
struct FolderEntry {
    bool is_link = false;
    bool is_folder = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t last_write_ns = 0;
    std::int64_t change_ns = 0;
    friend bool operator==(const FolderEntry&, const FolderEntry&) = default;
};

class Folder {
public:
    Folder() = default;
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    ~Folder();

    // Opens an existing folder (links in its path are followed: the base is
    // trusted). 2/3 when missing, 267 (kErrorDirectory) when it is no folder.
    static DWORD open(std::wstring_view system_path, Folder& out);
    static DWORD open_host(const std::filesystem::path& host_path, Folder& out);

    bool is_open() const { return fd_ >= 0; }
    // The folder's host path as it was reached, for logs and working folders.
    const std::filesystem::path& host_path() const { return host_path_; }
    std::wstring path() const;

    // Walks `relative` below this folder as described at the top, with new
    // folders made with `mode` (less the umask). Errors: 161 for a path
    // split_relative_path() refuses, 183 when the last level is a file, 3
    // when a level above it is a file or (kLastOnly) missing, 5 when a link
    // cannot be removed.
    DWORD descend(std::wstring_view relative, FolderCreation creation, Folder& out, unsigned mode = 0777) const;

    // CreateFileW of `name` (one component) in this folder, no-follow.
    DWORD open_file(std::wstring_view name, const FileOpenOptions& options, File& out) const;
    // open_file() for a writer's own file (a log): a link at `name` is
    // removed, as links at folders are, and the name opened again, so
    // nothing is ever written through it.
    DWORD open_own_file(std::wstring_view name, const FileOpenOptions& options, File& out) const;
    // The entry `name` (one component) without following a link there: 2
    // when there is none.
    DWORD entry(std::wstring_view name, FolderEntry& out) const;
    // DeleteFileW of `name` (a file or link, never a folder).
    DWORD delete_file(std::wstring_view name) const;
    // MoveFileExW(MOVEFILE_REPLACE_EXISTING) between two names of this folder.
    DWORD rename(std::wstring_view from, std::wstring_view to) const;
    // The names of the entries (no "." or "..").
    DWORD list(std::vector<std::wstring>& names) const;
    // Whether only this process's user can change the folder: owned by it or
    // by root, and not writable by group or others. 5 otherwise.
    DWORD check_private() const;
    // GetDiskFreeSpaceExW's bytes available to this user on the folder's
    // file system.
    DWORD free_space(std::uint64_t& bytes) const;

private:
    friend int native_descriptor(const Folder& folder);

    int fd_ = -1;
    std::filesystem::path host_path_;
};

// Folder::open(base) then descend(relative): the folder every writer uses.
DWORD prepare_folder(std::wstring_view base, std::wstring_view relative, FolderCreation creation, Folder& out,
                     unsigned mode = 0777);

// The same for a writer given its folder as one absolute system path (an
// update document's DestDir, the engine's log and cache folders). The base
// is the known folder (known_folders.h) the path's text starts with, the
// longest one, so ".." may not leave it; a path outside every known folder
// has the nearest existing folder above it as its base, taken as it is (as
// a Windows path walk takes it), and may hold no ".." at all. Errors as
// descend(), and 161 for a path that is not absolute or has such a "..".
DWORD prepare_folder_at(std::wstring_view system_path, FolderCreation creation, Folder& out, unsigned mode = 0777);

}  // namespace rk::sys
