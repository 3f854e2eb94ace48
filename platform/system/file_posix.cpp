#include "platform/system/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/errors/errno_map.h"
#include "platform/system/fd_posix.h"
#include "platform/system/file_native.h"
#include "platform/system/paths.h"

namespace rk::sys {
namespace {

// FILETIME of 1970-01-01, in 100 ns units since 1601-01-01.
constexpr std::uint64_t kUnixEpochFiletime = 116444736000000000ull;
// Attempts when another process creates and deletes the name in between.
constexpr int kOpenAttempts = 8;

DWORD last_error() { return win::from_errno(errno); }

// Win32 tells a missing name (2) from a missing folder on the way (3).
DWORD missing_error(int dir_fd, std::string_view name) {
    const auto slash = name.rfind('/');
    const std::string parent = slash == std::string_view::npos ? "." : slash == 0 ? "/" : std::string(name.substr(0, slash));
    struct stat st{};
    return ::fstatat(dir_fd, parent.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode) ? win::kErrorFileNotFound
                                                                                     : win::kErrorPathNotFound;
}

timespec to_timespec(std::uint64_t filetime) {
    if (filetime == 0) {
        return {0, UTIME_OMIT};
    }
    const std::uint64_t since_1970 = filetime - kUnixEpochFiletime;
    return {static_cast<time_t>(since_1970 / 10'000'000), static_cast<long>(since_1970 % 10'000'000) * 100};
}

}  // namespace

int native_descriptor(const File& file) { return file.fd_; }

File::File(File&& other) noexcept : fd_(other.fd_), existed_(other.existed_) { other.fd_ = -1; }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        existed_ = other.existed_;
        other.fd_ = -1;
    }
    return *this;
}

File::~File() { close(); }

void File::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    existed_ = false;
}

DWORD File::open(std::wstring_view system_path, const FileOpenOptions& options, File& out) {
    out.close();
    const auto host = to_host_path(system_path);
    if (!host) {
        return win::kErrorBadPathname;
    }
    return open_host(*host, options, out);
}

DWORD File::open_host(const std::filesystem::path& host_path, const FileOpenOptions& options, File& out) {
    return open_at(AT_FDCWD, host_path.c_str(), options, out);
}

DWORD File::open_null_device(File& out) {
    return open_host("/dev/null", {kGenericRead | kGenericWrite, kFileShareRead | kFileShareWrite, kOpenExisting, 0644, true},
                     out);
}

DWORD File::open_at(int dir_fd, const char* name, const FileOpenOptions& options, File& out) {
    out.close();
    const bool read = (options.access & kGenericRead) != 0;
    const bool append = (options.access & kFileAppendData) != 0;
    const bool write = (options.access & kGenericWrite) != 0 || append;
    int flags = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (append ? O_APPEND : 0);
    if (read && write) {
        flags |= O_RDWR;
    } else if (write) {
        flags |= O_WRONLY;
    } else if (read) {
        flags |= O_RDONLY;
    } else {
        flags |= O_PATH;  // no data access: identity and size only
    }
    const bool creates = options.disposition == kCreateNew || options.disposition == kCreateAlways ||
                         options.disposition == kOpenAlways;
    const bool truncates = options.disposition == kCreateAlways || options.disposition == kTruncateExisting;
    if (options.disposition < kCreateNew || options.disposition > kTruncateExisting || (truncates && !write) ||
        (creates && (flags & O_PATH) != 0)) {
        return win::kErrorInvalidParameter;
    }
    const auto mode = static_cast<mode_t>(options.mode);

    int fd = -1;
    bool existed = false;
    for (int attempt = 0; fd < 0 && attempt < kOpenAttempts; ++attempt) {
        existed = false;
        if (creates) {
            fd = ::openat(dir_fd, name, flags | O_CREAT | O_EXCL, mode);
            if (fd >= 0 || errno != EEXIST) {
                break;
            }
            if (options.disposition == kCreateNew) {
                return win::kErrorFileExists;
            }
            existed = true;
        }
        fd = ::openat(dir_fd, name, flags | (truncates ? O_TRUNC : 0));
        if (fd < 0 && !(creates && errno == ENOENT)) {
            break;  // ENOENT while creating: deleted in between, try again
        }
    }
    if (fd < 0) {
        switch (errno) {
            case ENOENT:
                return creates ? win::kErrorPathNotFound : missing_error(dir_fd, name);
            case ENXIO:  // a FIFO without a reader, a device without a driver
                return options.allow_special ? win::kErrorNotReady : win::kErrorAccessDenied;
            default:
                return last_error();
        }
    }
    File opened(fd, existed);
    struct stat st{};
    if (::fstat(fd, &st) != 0) {
        return last_error();
    }
    if ((flags & O_PATH) != 0 && S_ISLNK(st.st_mode)) {
        return win::kErrorCantResolveFilename;  // O_PATH|O_NOFOLLOW opens the link itself
    }
    if (S_ISDIR(st.st_mode) || (!S_ISREG(st.st_mode) && !options.allow_special)) {
        return win::kErrorAccessDenied;
    }
    if (!S_ISREG(st.st_mode) && (flags & O_PATH) == 0) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    out = std::move(opened);
    return win::kErrorSuccess;
}

DWORD File::duplicate(File& out) const {
    out.close();
    const int fd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        return last_error();
    }
    out = File(fd, existed_);
    return win::kErrorSuccess;
}

DWORD File::read(void* buffer, std::size_t length, std::size_t& done) {
    done = 0;
    ssize_t got = 0;
    do {
        got = ::read(fd_, buffer, length);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        return last_error();
    }
    done = static_cast<std::size_t>(got);
    return win::kErrorSuccess;
}

DWORD File::read_to_end(std::string& out, std::size_t max_bytes) {
    const int error = read_bounded(fd_, out, max_bytes);
    return error == 0 ? win::kErrorSuccess : win::from_errno(error);
}

DWORD File::seek(std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(INT64_MAX)) {
        return win::kErrorInvalidParameter;
    }
    return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0 ? last_error() : win::kErrorSuccess;
}

DWORD File::read_at(std::uint64_t offset, void* buffer, std::size_t length, std::size_t& done) const {
    done = 0;
    ssize_t got = 0;
    do {
        got = ::pread(fd_, buffer, length, static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        return last_error();
    }
    done = static_cast<std::size_t>(got);
    return win::kErrorSuccess;
}

DWORD File::write_all(const void* data, std::size_t length, std::size_t* written) {
    const auto* next = static_cast<const char*>(data);
    std::size_t done = 0;
    DWORD result = win::kErrorSuccess;
    while (done < length) {
        const ssize_t put = ::write(fd_, next + done, length - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            result = put < 0 ? last_error() : win::kErrorDiskFull;
            break;
        }
        done += static_cast<std::size_t>(put);
    }
    if (written != nullptr) {
        *written = done;
    }
    return result;
}

DWORD File::size(std::uint64_t& bytes) const {
    struct stat st{};
    if (::fstat(fd_, &st) != 0) {
        return last_error();
    }
    bytes = static_cast<std::uint64_t>(st.st_size);
    return win::kErrorSuccess;
}

DWORD File::truncate(std::uint64_t length) {
    return ::ftruncate(fd_, static_cast<off_t>(length)) == 0 ? win::kErrorSuccess : last_error();
}

DWORD File::set_times(std::uint64_t last_access, std::uint64_t last_write) {
    if ((last_access != 0 && last_access < kUnixEpochFiletime) ||
        (last_write != 0 && last_write < kUnixEpochFiletime)) {
        return win::kErrorInvalidParameter;
    }
    const timespec times[2] = {to_timespec(last_access), to_timespec(last_write)};
    return ::futimens(fd_, times) == 0 ? win::kErrorSuccess : last_error();
}

DWORD File::flush() { return ::fdatasync(fd_) == 0 ? win::kErrorSuccess : last_error(); }

DWORD File::flush_range(std::uint64_t offset, std::uint64_t length, bool wait) {
    const unsigned flags = wait ? SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER
                                : SYNC_FILE_RANGE_WRITE;
    return ::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(length), flags) == 0
               ? win::kErrorSuccess
               : last_error();
}

DWORD File::identity(FileIdentity& id) const {
    struct stat st{};
    if (::fstat(fd_, &st) != 0) {
        return last_error();
    }
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    id.size = static_cast<std::uint64_t>(st.st_size);
    id.change_time_ns = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    return win::kErrorSuccess;
}

DWORD File::size_and_links(std::uint64_t& bytes, std::uint32_t& links) const {
    struct stat st{};
    if (::fstat(fd_, &st) != 0) {
        return last_error();
    }
    bytes = static_cast<std::uint64_t>(st.st_size);
    links = static_cast<std::uint32_t>(st.st_nlink);
    return win::kErrorSuccess;
}

DWORD File::make_executable() {
    struct stat st{};
    if (::fstat(fd_, &st) != 0) {
        return last_error();
    }
    const mode_t mode = st.st_mode & 07777;
    const mode_t wanted = mode | ((mode & (S_IRUSR | S_IRGRP | S_IROTH)) >> 2);
    return wanted == mode || ::fchmod(fd_, wanted) == 0 ? win::kErrorSuccess : last_error();
}

DWORD File::set_mode(unsigned mode) {
    return ::fchmod(fd_, static_cast<mode_t>(mode & 07777)) == 0 ? win::kErrorSuccess : last_error();
}

DWORD File::lock(bool exclusive, bool wait) {
    const int operation = (exclusive ? LOCK_EX : LOCK_SH) | (wait ? 0 : LOCK_NB);
    int result = 0;
    do {
        result = ::flock(fd_, operation);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        return win::kErrorSuccess;
    }
    return errno == EWOULDBLOCK ? win::kErrorLockViolation : last_error();
}

}  // namespace rk::sys
