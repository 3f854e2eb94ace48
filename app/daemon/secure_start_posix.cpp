#include "app/daemon/secure_start.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

extern char** environ;

namespace rk::app {
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

bool SecureStart(char* const* argv) {
    ::umask(022);
    bool ok = make_standard_descriptors_valid();
    if (::close_range(3, ~0U, 0) != 0) {
        ok = false;
    }
    const auto injected = LoaderVariablesIn(environ);
    if (!injected.empty()) {
        for (const auto& name : injected) {
            ::unsetenv(name.c_str());
        }
        ::execv("/proc/self/exe", argv);
        ok = false;  // still running with what was injected at start
    }
    return ok;
}

}  // namespace rk::app
