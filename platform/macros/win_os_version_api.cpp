#include <sys/utsname.h>

#include <string_view>

#include "platform/macros/win_os_version_api.h"

namespace DiraDoro {
namespace {

// uname's machine names of the Linux ports, mapped to the Windows constants.
std::uint16_t architecture_of(std::string_view machine) {
    if (machine == "x86_64" || machine == "amd64") return kProcessorArchitectureAmd64;
    if (machine == "i386" || machine == "i486" || machine == "i586" || machine == "i686" ||
        machine == "x86") {
        return kProcessorArchitectureIntel;
    }
    if (machine == "aarch64" || machine == "arm64") return kProcessorArchitectureArm64;
    if (machine.starts_with("arm")) return kProcessorArchitectureArm;
    if (machine == "ia64") return kProcessorArchitectureIa64;
    return kProcessorArchitectureUnknown;
}

class UnameOSVersionAPI final : public WinOSVersionAPI {
public:
    std::uint16_t GetNativeProcessorArchitecture() override {
        utsname name{};
        if (uname(&name) != 0) return kProcessorArchitectureUnknown;
        return architecture_of(name.machine);
    }
};

}  // namespace

std::shared_ptr<WinOSVersionAPI> CreateWinOSVersionAPI() {
    return std::make_shared<UnameOSVersionAPI>();
}

}  // namespace DiraDoro
