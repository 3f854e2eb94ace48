// The calling thread's name and scheduling priority (SetThreadDescription,
// SetThreadPriority).
#pragma once

#include <string_view>

#include "platform/errors/win_error.h"

namespace rk::sys {

// Names the calling thread for debuggers and process listings. Linux keeps
// at most 15 bytes of the UTF-8 name; longer names are cut.
DWORD set_current_thread_name(std::wstring_view name);

// THREAD_PRIORITY_ABOVE_NORMAL for the calling thread. On Linux this lowers
// the thread's nice value by one, which needs CAP_SYS_NICE: without it the
// result is kErrorAccessDenied and the priority is unchanged.
DWORD raise_current_thread_priority();

}  // namespace rk::sys
