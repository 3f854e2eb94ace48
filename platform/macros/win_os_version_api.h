// The operating-system information service of the folder macros: the
// processor architecture of the running system (GetNativeSystemInfo's
// wProcessorArchitecture), which decides "$(OS.Platform)".
#pragma once

#include <cstdint>
#include <memory>

#include "platform/system/osinfo/os_info.h"

namespace DiraDoro {

// PROCESSOR_ARCHITECTURE_* values of the Windows SDK (as the seam reports them).
inline constexpr std::uint16_t kProcessorArchitectureIntel = rk::sys::kProcessorArchitectureIntel;
inline constexpr std::uint16_t kProcessorArchitectureArm = rk::sys::kProcessorArchitectureArm;
inline constexpr std::uint16_t kProcessorArchitectureIa64 = rk::sys::kProcessorArchitectureIa64;
inline constexpr std::uint16_t kProcessorArchitectureAmd64 = rk::sys::kProcessorArchitectureAmd64;
inline constexpr std::uint16_t kProcessorArchitectureArm64 = rk::sys::kProcessorArchitectureArm64;
inline constexpr std::uint16_t kProcessorArchitectureUnknown = rk::sys::kProcessorArchitectureUnknown;

class WinOSVersionAPI {
public:
    WinOSVersionAPI() = default;
    WinOSVersionAPI(const WinOSVersionAPI&) = delete;
    WinOSVersionAPI& operator=(const WinOSVersionAPI&) = delete;
    virtual ~WinOSVersionAPI() = default;

    // The architecture of the operating system (not of this process: a
    // 32-bit build on a 64-bit system reports the 64-bit one).
    virtual std::uint16_t GetNativeProcessorArchitecture() = 0;
};

// The real service: the seam's operating-system facts (see docs/macros.md).
std::shared_ptr<WinOSVersionAPI> CreateWinOSVersionAPI();

}  // namespace DiraDoro
