// Open files with CreateFileW semantics: access, share and disposition flags,
// read, write, size, truncate, times, flushes and identity.
//
// The last path component is never followed: a symbolic link there (a
// junction or Windows link) fails with kErrorCantResolveFilename, as a create
// with FILE_FLAG_OPEN_REPARSE_POINT would refuse to write through one. Only
// regular files open unless `allow_special`; a FIFO or device never blocks
// the open. Results are Windows error numbers. Descriptors are close-on-exec.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/errors/win_error.h"

namespace rk::sys {

// dwDesiredAccess bits.
inline constexpr DWORD kGenericRead = 0x80000000;
inline constexpr DWORD kGenericWrite = 0x40000000;
// FILE_APPEND_DATA: write access where every write goes to the end of the
// file, wherever the file position is (two writers never overwrite each
// other's lines).
inline constexpr DWORD kFileAppendData = 0x4;
// dwShareMode bits: accepted for the Windows backend; Linux has no share
// modes, so they restrict nothing here.
inline constexpr DWORD kFileShareRead = 0x1;
inline constexpr DWORD kFileShareWrite = 0x2;
inline constexpr DWORD kFileShareDelete = 0x4;
// dwCreationDisposition values.
inline constexpr DWORD kCreateNew = 1;
inline constexpr DWORD kCreateAlways = 2;
inline constexpr DWORD kOpenExisting = 3;
inline constexpr DWORD kOpenAlways = 4;
inline constexpr DWORD kTruncateExisting = 5;

struct FileOpenOptions {
    DWORD access = kGenericRead;
    DWORD share = kFileShareRead;
    DWORD disposition = kOpenExisting;
    unsigned mode = 0644;        // permissions of a new file, less the umask
    bool allow_special = false;  // also FIFOs, devices and sockets (never folders)
};

// What tells one file from another, and whether it changed: (device, inode)
// as GetFileInformationByHandle's volume serial and file index, plus size and
// change time (ctime, nanoseconds since 1970), which move on every write.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t change_time_ns = 0;
    bool same_file(const FileIdentity& other) const { return device == other.device && inode == other.inode; }
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

class Folder;

class File {
public:
    File() = default;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    // CreateFileW for a system path (paths.h) or a host path. Errors: 2 or 3
    // missing, 80 kCreateNew on an existing name, 87 bad flags
    // (kTruncateExisting without kGenericWrite, unknown disposition), 1921 a
    // link at the last component, 5 a folder or (without allow_special) any
    // other non-regular file, 161 a path with no host meaning.
    static DWORD open(std::wstring_view system_path, const FileOpenOptions& options, File& out);
    static DWORD open_host(const std::filesystem::path& host_path, const FileOpenOptions& options, File& out);
    // CreateFileW("NUL"), read and write: the device that reads as empty and
    // discards what is written (a child's output nobody wants).
    static DWORD open_null_device(File& out);

    bool is_open() const { return fd_ >= 0; }
    // GetLastError() after kCreateAlways/kOpenAlways: the file was there.
    bool existed() const { return existed_; }
    void close();
    // DuplicateHandle: another handle on the same open file.
    DWORD duplicate(File& out) const;

    // ReadFile at the file position; `done` 0 means end of file.
    DWORD read(void* buffer, std::size_t length, std::size_t& done);
    // ReadFile until the end of the file, appending to `out`; 223
    // (kErrorFileTooLarge) once more than `max_bytes` would be read, with
    // `out` then holding the first `max_bytes`.
    DWORD read_to_end(std::string& out, std::size_t max_bytes);
    // ReadFile with an OVERLAPPED offset; the file position does not move.
    DWORD read_at(std::uint64_t offset, void* buffer, std::size_t length, std::size_t& done) const;
    // WriteFile until everything is written (112 when the disk is full);
    // `written`, when given, receives how much was written before a failure.
    DWORD write_all(const void* data, std::size_t length, std::size_t* written = nullptr);
    // SetFilePointerEx from the start: where the next read or write goes
    // (beyond the end, a write extends the file). Appending to a download
    // that resumes starts here.
    DWORD seek(std::uint64_t offset);
    DWORD size(std::uint64_t& bytes) const;  // GetFileSizeEx
    // SetFilePointerEx + SetEndOfFile: cuts or extends the file to `length`.
    DWORD truncate(std::uint64_t length);
    // SetFileTime with FILETIME values (100 ns since 1601-01-01 UTC); 0 keeps
    // a time. Linux has no settable creation time: that part of SetFileTime
    // has no counterpart here.
    DWORD set_times(std::uint64_t last_access, std::uint64_t last_write);
    // FlushFileBuffers: data and size on stable storage (fdatasync).
    DWORD flush();
    // Starts writing back [offset, offset + length) and, when `wait`, waits
    // until it is on disk (sync_file_range). Flushing a large download range
    // by range as it arrives makes the final flush() cheap; it does not
    // replace it (metadata are not written).
    DWORD flush_range(std::uint64_t offset, std::uint64_t length, bool wait);
    DWORD identity(FileIdentity& id) const;
    // GetFileInformationByHandle's size and nNumberOfLinks (0 once the file
    // was deleted or renamed over while open), in one call.
    DWORD size_and_links(std::uint64_t& bytes, std::uint32_t& links) const;
    // Adds execute permission wherever read permission is set.
    DWORD make_executable();
    // Sets the permission bits (mode & 07777).
    DWORD set_mode(unsigned mode);
    // LockFileEx over the whole file: an advisory lock (flock) that the
    // system drops when the owner's process dies. Without `wait`, a lock held
    // elsewhere is kErrorLockViolation (33).
    DWORD lock(bool exclusive, bool wait);

private:
    friend class Folder;
    friend int native_descriptor(const File& file);
    explicit File(int fd, bool existed) : fd_(fd), existed_(existed) {}
    // The open itself, relative to an open folder (or the current one).
    static DWORD open_at(int dir_fd, const char* name, const FileOpenOptions& options, File& out);

    int fd_ = -1;
    bool existed_ = false;
};

}  // namespace rk::sys
