#include "platform/logging/process_facts.h"

#include "platform/system/process_info.h"

namespace rk::logging {

std::uint32_t current_process_id() { return rk::sys::current_process_id(); }

std::uint32_t current_thread_id() { return rk::sys::current_thread_id(); }

std::wstring process_image_path() { return rk::sys::own_image_path(); }

std::wstring module_path(const void* address) { return rk::sys::module_path_of(address); }

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
