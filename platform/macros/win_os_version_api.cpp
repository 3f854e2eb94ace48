#include "platform/macros/win_os_version_api.h"

#include "platform/system/osinfo/os_info.h"

namespace DiraDoro {
namespace {

class SystemOSVersionAPI final : public WinOSVersionAPI {
public:
    std::uint16_t GetNativeProcessorArchitecture() override {
        return rk::sys::system_os_info()->version().processor_architecture;
    }
};

}  // namespace

std::shared_ptr<WinOSVersionAPI> CreateWinOSVersionAPI() { return std::make_shared<SystemOSVersionAPI>(); }

}  // namespace DiraDoro
