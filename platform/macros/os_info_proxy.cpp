#include "platform/macros/os_info_proxy.h"

#include <utility>

namespace DiraDoro::internal {

OSInfoProxy::OSInfoProxy(std::shared_ptr<WinOSVersionAPI> api) : api_(std::move(api)) {}

int OSInfoProxy::GetPlatform() const {
    if (!api_) return kPlatformUnknown;
    switch (api_->GetNativeProcessorArchitecture()) {
        case kProcessorArchitectureIntel:
            return kPlatformWin32;
        case kProcessorArchitectureAmd64:
            return kPlatformX64;
        default:
            return kPlatformUnknown;
    }
}

}  // namespace DiraDoro::internal
