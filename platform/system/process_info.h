// Facts about the running process.
#pragma once

#include <string>

#include "platform/errors/win_error.h"

namespace rk::sys {

// GetModuleFileNameW(nullptr): the running executable's full path as a system
// path (host form, links resolved); empty when it cannot be read. The name
// stays the one the process started from after the file is deleted or
// replaced.
std::wstring own_image_path();

// GetModuleFileNameW of the module (executable or shared library) that
// holds `address` (GetModuleHandleExW with FROM_ADDRESS); null means the
// executable. Empty when unknown.
std::wstring module_path_of(const void* address);

// GetCurrentProcessId / GetCurrentThreadId.
DWORD current_process_id();
DWORD current_thread_id();

}  // namespace rk::sys
