#include "platform/system/process_info.h"

#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/system/paths.h"

namespace rk::sys {

std::wstring own_image_path() {
    // The kernel appends this to the link text once the executable has been
    // deleted or replaced (as an update does); Windows keeps the original
    // name, so we do too.
    constexpr std::string_view kDeletedSuffix = " (deleted)";
    std::error_code ec;
    std::string image = std::filesystem::read_symlink("/proc/self/exe", ec).native();
    if (ec) {
        return {};
    }
    if (image.ends_with(kDeletedSuffix) && ::access(image.c_str(), F_OK) != 0) {
        image.resize(image.size() - kDeletedSuffix.size());
    }
    return wide_path(image);
}

std::wstring module_path_of(const void* address) {
    if (address == nullptr) {
        return own_image_path();
    }
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr || info.dli_fname[0] == '\0') {
        return {};
    }
    // The executable is reported by the name it was started with; its
    // resolved image path is the one Windows gives.
    Dl_info self{};
    if (info.dli_fbase != nullptr && ::dladdr(reinterpret_cast<const void*>(&own_image_path), &self) != 0 &&
        self.dli_fbase == info.dli_fbase) {
        std::wstring image = own_image_path();
        if (!image.empty()) {
            return image;
        }
    }
    return wide_path(info.dli_fname);
}

DWORD current_process_id() { return static_cast<DWORD>(::getpid()); }

namespace {

// Asked of the kernel once per thread; a forked child's thread (the only one
// it has) asks again.
thread_local DWORD cached_thread_id = 0;

void forget_thread_id() { cached_thread_id = 0; }

}  // namespace

DWORD current_thread_id() {
    static const bool forgets_on_fork = ::pthread_atfork(nullptr, nullptr, forget_thread_id) == 0;
    if (cached_thread_id == 0 || !forgets_on_fork) {
        cached_thread_id = static_cast<DWORD>(::gettid());
    }
    return cached_thread_id;
}

}  // namespace rk::sys
