#include <sys/utsname.h>

#include <charconv>

#include "platform/system/osinfo/os_info.h"
#include "platform/text/utf.h"

namespace rk::sys {
namespace {

constexpr std::string_view k64BitMachines[] = {"x86_64", "aarch64", "ppc64", "ppc64le", "s390x", "riscv64",
                                               "loongarch64", "mips64", "sparc64", "alpha", "ia64"};

// uname's machine names of the Linux ports.
std::uint16_t architecture_of(std::string_view machine) {
    if (machine == "x86_64" || machine == "amd64") return kProcessorArchitectureAmd64;
    if (machine == "i386" || machine == "i486" || machine == "i586" || machine == "i686" || machine == "x86") {
        return kProcessorArchitectureIntel;
    }
    if (machine == "aarch64" || machine == "arm64") return kProcessorArchitectureArm64;
    if (machine.starts_with("arm")) return kProcessorArchitectureArm;
    if (machine == "ia64") return kProcessorArchitectureIa64;
    return kProcessorArchitectureUnknown;
}

class UnameOsInfo final : public OsInfo {
public:
    OsVersion version() const override {
        utsname names{};
        if (::uname(&names) != 0) {
            return {};
        }
        return os_version_from_uname(names.sysname, names.release, names.machine);
    }
};

}  // namespace

OsVersion os_version_from_uname(std::string_view system_name, std::string_view release, std::string_view machine) {
    OsVersion version;
    version.system_name = text::utf8_to_wide(system_name);
    version.release = text::utf8_to_wide(release);
    version.machine = text::utf8_to_wide(machine);
    version.processor_architecture = architecture_of(machine);
    for (std::string_view known : k64BitMachines) {
        version.is_64bit |= machine == known;
    }
    DWORD* parts[] = {&version.major, &version.minor, &version.build};
    const char* cursor = release.data();
    const char* end = release.data() + release.size();
    for (DWORD* part : parts) {
        const auto result = std::from_chars(cursor, end, *part);
        if (result.ec != std::errc()) {
            *part = 0;
            break;
        }
        cursor = result.ptr;
        if (cursor == end || *cursor != '.') {
            break;
        }
        ++cursor;
    }
    return version;
}

bool is_version_at_least(const OsVersion& version, DWORD major, DWORD minor, DWORD service_pack_major) {
    if (version.major != major) {
        return version.major > major;
    }
    if (version.minor != minor) {
        return version.minor > minor;
    }
    return version.service_pack_major >= service_pack_major;
}

std::shared_ptr<OsInfo> system_os_info() { return std::make_shared<UnameOsInfo>(); }

}  // namespace rk::sys
