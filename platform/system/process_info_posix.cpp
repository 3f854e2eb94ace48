#include "platform/system/process_info.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "platform/system/paths.h"

namespace rk::sys {

std::wstring own_image_path() {
    std::error_code ec;
    const std::filesystem::path image = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::wstring() : wide_path(image);
}

DWORD current_process_id() { return static_cast<DWORD>(::getpid()); }

DWORD current_thread_id() { return static_cast<DWORD>(::gettid()); }

}  // namespace rk::sys
