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

// GetCurrentProcessId / GetCurrentThreadId.
DWORD current_process_id();
DWORD current_thread_id();

}  // namespace rk::sys
