#include "platform/logging/process_facts.h"

#include <dlfcn.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "platform/text/utf.h"

namespace rk::logging {

std::uint32_t current_process_id() { return static_cast<std::uint32_t>(::getpid()); }

namespace {

// gettid is a system call; a thread asks once. A child of fork() continues
// in the forking thread under a new id: the handler forgets the old one.
thread_local std::uint32_t t_thread_id = 0;

void forget_thread_id() { t_thread_id = 0; }

}  // namespace

std::uint32_t current_thread_id() {
    if (t_thread_id == 0) {
        static const int registered = ::pthread_atfork(nullptr, nullptr, forget_thread_id);
        (void)registered;
        t_thread_id = static_cast<std::uint32_t>(::syscall(SYS_gettid));
    }
    return t_thread_id;
}

std::wstring process_image_path() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) {
        return {};
    }
    return rk::text::utf8_to_wide(std::string_view(buffer, static_cast<std::size_t>(n)));
}

std::wstring module_path(const void* address) {
    if (address == nullptr) {
        return process_image_path();
    }
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr || info.dli_fname[0] == '\0') {
        return {};
    }
    // The main program is reported by the name it was started with; prefer
    // the resolved image path for it.
    if (info.dli_fbase != nullptr) {
        Dl_info self{};
        if (::dladdr(reinterpret_cast<const void*>(&process_image_path), &self) != 0 &&
            self.dli_fbase == info.dli_fbase) {
            const std::wstring image = process_image_path();
            if (!image.empty()) {
                return image;
            }
        }
    }
    return rk::text::utf8_to_wide(info.dli_fname);
}

const void* own_module_handle() { return reinterpret_cast<const void*>(&own_module_handle); }

std::wstring file_name_of(const std::wstring& path) {
    const auto pos = path.find_last_of(L"\\/");
    return pos == std::wstring::npos ? path : path.substr(pos + 1);
}

std::wstring strip_extension(const std::wstring& name) {
    const auto pos = name.rfind(L'.');
    return pos == std::wstring::npos || pos == 0 ? name : name.substr(0, pos);
}

}  // namespace rk::logging
