// Facts of the running process that loggers put into their lines.
#pragma once

#include <cstdint>
#include <string>

namespace rk::logging {

std::uint32_t current_process_id();
std::uint32_t current_thread_id();

// Full path of the process image; empty when unknown.
std::wstring process_image_path();

// Full path of the executable or shared object that contains `address`;
// null means the process image. Empty when unknown.
std::wstring module_path(const void* address);

// An address inside the module this library is linked into (the program's
// own executable: the libraries are static).
const void* own_module_handle();

// The part after the last '\' or '/'.
std::wstring file_name_of(const std::wstring& path);

// `name` without its extension (from the last '.', unless that is the first
// character).
std::wstring strip_extension(const std::wstring& name);

}  // namespace rk::logging
