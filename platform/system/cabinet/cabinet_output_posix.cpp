#include "platform/system/cabinet/cabinet_output.h"

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/errors/errno_map.h"
#include "platform/system/file_native.h"
#include "platform/system/files.h"
#include "platform/system/folder.h"
#include "platform/text/utf.h"

namespace rk::sys::cabinet {
namespace {

// Tries before giving up on finding an unused temporary name.
constexpr unsigned kTempNameTries = 64;

DWORD last_error() { return win::from_errno(errno); }

// One folder level below `parent`: a link or nothing there becomes a new
// folder; a file there is win::kErrorAlreadyExists. The opened folder in `out`.
DWORD enter_folder(int parent, const std::string& name, int& out) {
    struct stat st {};
    if (::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(st.st_mode)) {
            if (::unlinkat(parent, name.c_str(), 0) != 0) {
                return last_error();
            }
        } else if (!S_ISDIR(st.st_mode)) {
            return win::kErrorAlreadyExists;
        }
    } else if (errno != ENOENT) {
        return last_error();
    }
    if (!S_ISDIR(st.st_mode) && ::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) {
        return last_error();
    }
    out = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return out < 0 ? last_error() : win::kErrorSuccess;
}

}  // namespace

CabinetOutput::~CabinetOutput() {
    abandon();
    close_folder();
    if (destination_fd_ >= 0) {
        ::close(destination_fd_);
    }
}

DWORD CabinetOutput::open_destination(std::wstring_view system_path) {
    Folder folder;
    if (const DWORD error = prepare_folder_at(system_path, FolderCreation::kAll, folder);
        error != win::kErrorSuccess) {
        return error;
    }
    destination_ = folder.host_path();
    destination_fd_ = ::fcntl(native_descriptor(folder), F_DUPFD_CLOEXEC, 0);
    return destination_fd_ < 0 ? last_error() : win::kErrorSuccess;
}

std::optional<std::uint64_t> CabinetOutput::free_bytes() const {
    struct statvfs st {};
    if (destination_fd_ < 0 || ::fstatvfs(destination_fd_, &st) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

void CabinetOutput::close_folder() {
    if (folder_fd_ >= 0) {
        ::close(folder_fd_);
        folder_fd_ = -1;
    }
    folder_parts_.clear();
}

DWORD CabinetOutput::prepare_folder(const std::vector<std::wstring>& parts, int& folder) {
    if (parts.size() <= 1) {
        folder = destination_fd_;
        return win::kErrorSuccess;
    }
    const std::vector<std::wstring> wanted(parts.begin(), parts.end() - 1);
    if (folder_fd_ >= 0 && wanted == folder_parts_) {
        folder = folder_fd_;
        return win::kErrorSuccess;
    }
    close_folder();
    int current = destination_fd_;
    for (const auto& part : wanted) {
        int next = -1;
        const DWORD error = enter_folder(current, text::wide_to_utf8(part), next);
        if (current != destination_fd_) {
            ::close(current);
        }
        if (error != win::kErrorSuccess) {
            return error;
        }
        current = next;
    }
    folder_fd_ = current;
    folder_parts_ = wanted;
    folder = current;
    return win::kErrorSuccess;
}

DWORD CabinetOutput::begin(const std::vector<std::wstring>& parts, bool& folder_failed) {
    abandon();
    current_path_ = destination_;
    for (const auto& part : parts) {
        current_path_ /= text::wide_to_utf8(part);
    }
    folder_failed = true;
    if (const DWORD error = prepare_folder(parts, file_folder_); error != win::kErrorSuccess) {
        return error;
    }
    folder_failed = false;
    final_name_ = text::wide_to_utf8(parts.back());
    const std::string stem = ".rkcab-" + std::to_string(::getpid()) + "-";
    for (unsigned tries = 0; tries < kTempNameTries; ++tries) {
        std::string name = stem + std::to_string(temp_counter_++);
        file_fd_ = ::openat(file_folder_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (file_fd_ >= 0) {
            temp_name_ = std::move(name);
            return win::kErrorSuccess;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return last_error();
}

DWORD CabinetOutput::write(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(file_fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return last_error();
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return win::kErrorSuccess;
}

DWORD CabinetOutput::finish(std::optional<std::time_t> last_write) {
    if (last_write) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, {*last_write, 0}};
        if (::futimens(file_fd_, times) != 0) {
            const DWORD error = last_error();
            abandon();
            return error;
        }
    }
    const int fd = file_fd_;
    file_fd_ = -1;
    if (::close(fd) != 0 ||
        ::renameat(file_folder_, temp_name_.c_str(), file_folder_, final_name_.c_str()) != 0) {
        const DWORD error = last_error();
        abandon();
        return error;
    }
    temp_name_.clear();
    return win::kErrorSuccess;
}

void CabinetOutput::abandon() {
    if (file_fd_ >= 0) {
        ::close(file_fd_);
        file_fd_ = -1;
    }
    if (!temp_name_.empty()) {
        ::unlinkat(file_folder_, temp_name_.c_str(), 0);
        temp_name_.clear();
    }
}

}  // namespace rk::sys::cabinet
