#include "xml_updater/substitutions/system_facts.h"

#include "platform/text/format.h"
#include "xml_updater/substitutions/substitution_constants.h"

namespace XMLUpdater::v2 {

std::wstring platform_of_machine(std::wstring_view machine) {
    if (machine == L"x86_64" || machine == L"amd64") {
        return kPlat64;
    }
    if (machine == L"x86" || (machine.size() == 4 && machine[0] == L'i' && machine.substr(2) == L"86" &&
                              machine[1] >= L'3' && machine[1] <= L'6')) {
        return kPlat32;
    }
    if (machine == L"aarch64" || machine == L"arm64") {
        return kPlatArm64;
    }
    if (machine.starts_with(L"arm")) {
        return kPlatArm32;
    }
    return {};
}

std::wstring os_version_text(const rk::sys::OsVersion& version) {
    return rk::text::format(L"%d.%d.%d.%d", version.major, version.minor, version.build, 0);
}

}  // namespace XMLUpdater::v2
