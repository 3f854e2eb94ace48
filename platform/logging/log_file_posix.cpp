#include "platform/logging/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors/errno_map.h"
#include "platform/system/paths.h"

namespace ETWLogging::internal {

LogFile::~LogFile() { Close(); }

void LogFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

rk::DWORD LogFile::Size(const std::wstring& path, std::uint64_t& size) {
    const auto host = rk::sys::to_host_path(path);
    if (!host) {
        return rk::win::kErrorBadPathname;
    }
    struct stat st {};
    if (::stat(host->c_str(), &st) != 0) {
        return rk::win::from_errno(errno);
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return rk::win::kErrorSuccess;
}

rk::DWORD LogFile::OpenWith(const std::wstring& path, int flags) {
    Close();
    const auto host = rk::sys::to_host_path(path);
    if (!host) {
        return rk::win::kErrorBadPathname;
    }
    const int fd = ::open(host->c_str(), flags | O_RDWR | O_CLOEXEC, 0644);
    if (fd < 0) {
        return rk::win::from_errno(errno);
    }
    fd_ = fd;
    return rk::win::kErrorSuccess;
}

rk::DWORD LogFile::OpenForAppend(const std::wstring& path) { return OpenWith(path, O_APPEND); }

rk::DWORD LogFile::Create(const std::wstring& path) { return OpenWith(path, O_CREAT | O_TRUNC | O_APPEND); }

rk::DWORD LogFile::Append(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) {
        return rk::win::kErrorInvalidHandle;
    }
    const off_t before = ::lseek(fd_, 0, SEEK_END);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const rk::DWORD err = n < 0 ? rk::win::from_errno(errno) : rk::win::kErrorDiskFull;
            if (before >= 0 && done > 0) {
                [[maybe_unused]] const int cut = ::ftruncate(fd_, before);
            }
            return err;
        }
        done += static_cast<std::size_t>(n);
    }
    return rk::win::kErrorSuccess;
}

}  // namespace ETWLogging::internal
