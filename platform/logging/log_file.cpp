#include "platform/logging/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors/errno_map.h"
#include "platform/system/paths.h"

namespace ETWLogging::internal {
namespace {

std::int64_t nanoseconds(const timespec& t) { return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; }

}  // namespace

LogFolder::~LogFolder() { Close(); }

void LogFolder::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

rk::DWORD LogFolder::Open(const std::wstring& path) {
    Close();
    const auto host = rk::sys::to_host_path(path);
    if (!host) {
        return rk::win::kErrorBadPathname;
    }
    const int fd = ::open(host->c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return rk::win::from_errno(errno);
    }
    fd_ = fd;
    return rk::win::kErrorSuccess;
}

rk::DWORD LogFolder::Probe(const std::string& name, PathState& state) const {
    state = PathState{};
    struct stat st {};
    if (::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? rk::win::kErrorSuccess : rk::win::from_errno(errno);
    }
    state.exists = true;
    state.is_link = S_ISLNK(st.st_mode);
    state.device = static_cast<std::uint64_t>(st.st_dev);
    state.inode = static_cast<std::uint64_t>(st.st_ino);
    state.size = static_cast<std::uint64_t>(st.st_size);
    state.modified_ns = nanoseconds(st.st_mtim);
    state.changed_ns = nanoseconds(st.st_ctim);
    return rk::win::kErrorSuccess;
}

LogFile::~LogFile() { Close(); }

void LogFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

rk::DWORD LogFile::OpenWith(const LogFolder& folder, const std::string& name, int flags) {
    Close();
    // O_NONBLOCK: a FIFO planted at the name must not stall the logger.
    const int open_flags = flags | O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::openat(folder.fd_, name.c_str(), open_flags, 0644);
    if (fd < 0 && errno == ELOOP) {
        // A link at the file itself: removed, as links at folders are.
        if (::unlinkat(folder.fd_, name.c_str(), 0) != 0 && errno != ENOENT) {
            return rk::win::from_errno(errno);
        }
        if ((flags & O_CREAT) == 0) {
            return rk::win::kErrorFileNotFound;
        }
        fd = ::openat(folder.fd_, name.c_str(), open_flags, 0644);
    }
    if (fd < 0) {
        return rk::win::from_errno(errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return rk::win::kErrorAccessDenied;
    }
    fd_ = fd;
    device_ = static_cast<std::uint64_t>(st.st_dev);
    inode_ = static_cast<std::uint64_t>(st.st_ino);
    return rk::win::kErrorSuccess;
}

rk::DWORD LogFile::OpenForAppend(const LogFolder& folder, const std::string& name) {
    return OpenWith(folder, name, 0);
}

rk::DWORD LogFile::Create(const LogFolder& folder, const std::string& name) {
    return OpenWith(folder, name, O_CREAT | O_TRUNC);
}

bool LogFile::Is(const PathState& state) const {
    return fd_ >= 0 && state.exists && !state.is_link && state.device == device_ && state.inode == inode_;
}

rk::DWORD LogFile::Size(std::uint64_t& size, bool& linked) const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        return fd_ < 0 ? rk::win::kErrorInvalidHandle : rk::win::from_errno(errno);
    }
    size = static_cast<std::uint64_t>(st.st_size);
    linked = st.st_nlink > 0;
    return rk::win::kErrorSuccess;
}

rk::DWORD LogFile::Append(std::span<const std::uint8_t> bytes, std::uint64_t size_before) {
    if (fd_ < 0) {
        return rk::win::kErrorInvalidHandle;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const rk::DWORD err = n < 0 ? rk::win::from_errno(errno) : rk::win::kErrorDiskFull;
            if (done > 0) {
                [[maybe_unused]] const int cut = ::ftruncate(fd_, static_cast<off_t>(size_before));
            }
            return err;
        }
        done += static_cast<std::size_t>(n);
    }
    return rk::win::kErrorSuccess;
}

}  // namespace ETWLogging::internal
