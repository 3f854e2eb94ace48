// The operating-system information service of the folder macros: the
// processor architecture of the running system (GetNativeSystemInfo's
// wProcessorArchitecture), which decides "$(OS.Platform)".
#pragma once

#include <cstdint>
#include <memory>

namespace DiraDoro {

// PROCESSOR_ARCHITECTURE_* values of the Windows SDK.
inline constexpr std::uint16_t kProcessorArchitectureIntel = 0;
inline constexpr std::uint16_t kProcessorArchitectureArm = 5;
inline constexpr std::uint16_t kProcessorArchitectureIa64 = 6;
inline constexpr std::uint16_t kProcessorArchitectureAmd64 = 9;
inline constexpr std::uint16_t kProcessorArchitectureArm64 = 12;
inline constexpr std::uint16_t kProcessorArchitectureUnknown = 0xFFFF;

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

// The real service: on POSIX, uname()'s machine field (see docs/macros.md).
std::shared_ptr<WinOSVersionAPI> CreateWinOSVersionAPI();

}  // namespace DiraDoro
