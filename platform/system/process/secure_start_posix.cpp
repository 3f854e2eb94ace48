#include "platform/system/process/secure_start.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

extern char** environ;

namespace rk::sys {
namespace {

bool make_standard_descriptors_valid() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1) {
            continue;
        }
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened < 0) {
            return false;
        }
        if (opened != fd) {
            // A lower slot was free: fill it and keep looking.
            const bool moved = ::dup2(opened, fd) == fd;
            ::close(opened);
            if (!moved) {
                return false;
            }
        }
    }
    return true;
}

// Descriptors above 2 close at the next exec; closing them now would pull
// them from under libraries whose constructors opened them before main().
bool mark_inherited_descriptors_cloexec() {
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0) {
        return true;
    }
    // Kernels before 5.11: one descriptor at a time.
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr) {
        return false;
    }
    const int own = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        if (fd > 2 && fd != own) {
            ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
        }
    }
    ::closedir(dir);
    return true;
}

}  // namespace

std::vector<std::string> LoaderVariablesIn(const char* const* environment) {
    std::vector<std::string> found;
    for (const char* name : kLoaderVariables) {
        const std::size_t length = std::strlen(name);
        for (const char* const* entry = environment; entry != nullptr && *entry != nullptr; ++entry) {
            if (std::strncmp(*entry, name, length) == 0 && (*entry)[length] == '=') {
                found.emplace_back(name);
                break;
            }
        }
    }
    return found;
}

bool SecureStart(char* const* argv, const std::function<bool()>& stay_first) {
    ::umask(022);
    bool ok = make_standard_descriptors_valid();
    const auto injected = LoaderVariablesIn(environ);
    if (::getenv(kSecureStartMarker) != nullptr) {
        ::unsetenv(kSecureStartMarker);
        if (injected.empty()) {
            return ok;
        }
    } else if (ok && stay_first && stay_first()) {
        return true;
    } else if (!mark_inherited_descriptors_cloexec()) {
        ok = false;
    }
    for (const auto& name : injected) {
        ::unsetenv(name.c_str());
    }
    ::setenv(kSecureStartMarker, "1", 1);
    ::execv("/proc/self/exe", argv);
    ::unsetenv(kSecureStartMarker);
    return false;
}

}  // namespace rk::sys
