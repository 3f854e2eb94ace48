#include "platform/system/process_info.h"

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

DWORD current_process_id() { return static_cast<DWORD>(::getpid()); }

DWORD current_thread_id() { return static_cast<DWORD>(::gettid()); }

}  // namespace rk::sys
