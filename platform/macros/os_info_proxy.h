// The platform code behind "$(OS.Platform)".
#pragma once

#include <memory>

#include "platform/macros/win_os_version_api.h"

namespace DiraDoro::internal {

inline constexpr int kPlatformWin32 = 0;    // 32-bit x86 system
inline constexpr int kPlatformX64 = 1;      // x86-64 system
inline constexpr int kPlatformUnknown = 2;  // anything else (ARM, Itanium, unknown)

class OSInfoProxy {
public:
    explicit OSInfoProxy(std::shared_ptr<WinOSVersionAPI> api);

    // kPlatformWin32, kPlatformX64 or kPlatformUnknown; asks the service on
    // every call.
    int GetPlatform() const;

private:
    std::shared_ptr<WinOSVersionAPI> api_;
};

}  // namespace DiraDoro::internal
