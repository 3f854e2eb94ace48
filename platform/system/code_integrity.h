// Code-integrity facts of the running system and process
// (NtQuerySystemInformation(SystemCodeIntegrityInformation), the process's
// protection level).
#pragma once

#include <cstdint>

#include "platform/errors/win_error.h"

namespace rk::sys {

// CODEINTEGRITY_OPTION_* bits.
inline constexpr std::uint32_t kCodeIntegrityTestSign = 0x02;
inline constexpr std::uint32_t kCodeIntegrityDebugModeEnabled = 0x80;

// The system's code-integrity options. Linux has no such query:
// kErrorNotSupported (callers then take 0, no option set).
DWORD query_code_integrity_options(std::uint32_t& options);

// Whether this process runs as a protected process (PPL). Linux has no
// protected processes: false.
bool is_protected_process();

}  // namespace rk::sys
