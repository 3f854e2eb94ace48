// Facts about the operating system's version (RtlGetVersion,
// VerifyVersionInfoW), behind an interface so tests can pose as any version.
//
// On Linux the version is the kernel's: major and minor from the release
// uname() reports ("6.1.0-18-amd64" gives 6.1, build 0), service pack 0.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/errors/win_error.h"

namespace rk::sys {

// VER_PLATFORM_WIN32_NT: the platform identifier every supported system reports.
inline constexpr DWORD kVerPlatformWin32Nt = 2;

// PROCESSOR_ARCHITECTURE_* values of the Windows SDK.
inline constexpr std::uint16_t kProcessorArchitectureIntel = 0;
inline constexpr std::uint16_t kProcessorArchitectureArm = 5;
inline constexpr std::uint16_t kProcessorArchitectureIa64 = 6;
inline constexpr std::uint16_t kProcessorArchitectureAmd64 = 9;
inline constexpr std::uint16_t kProcessorArchitectureArm64 = 12;
inline constexpr std::uint16_t kProcessorArchitectureUnknown = 0xFFFF;

struct OsVersion {
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    DWORD service_pack_major = 0;
    DWORD service_pack_minor = 0;
    DWORD platform_id = kVerPlatformWin32Nt;
    bool is_64bit = false;       // the operating system, not this program
    std::wstring system_name;    // "Linux"
    std::wstring release;        // "6.1.0-18-amd64"
    std::wstring machine;        // "x86_64"
    // GetNativeSystemInfo's wProcessorArchitecture: the operating system's,
    // not this program's.
    std::uint16_t processor_architecture = kProcessorArchitectureUnknown;
};

class OsInfo {
public:
    OsInfo() = default;
    OsInfo(const OsInfo&) = delete;
    OsInfo& operator=(const OsInfo&) = delete;
    virtual ~OsInfo() = default;

    virtual OsVersion version() const = 0;
};

// The running system.
std::shared_ptr<OsInfo> system_os_info();

// A fixed answer, for tests.
class FixedOsInfo final : public OsInfo {
public:
    explicit FixedOsInfo(OsVersion version) : version_(std::move(version)) {}
    OsVersion version() const override { return version_; }

private:
    OsVersion version_;
};

// uname() fields to a version: the release's leading "major.minor.build"
// numbers (missing or unreadable ones are 0).
OsVersion os_version_from_uname(std::string_view system_name, std::string_view release, std::string_view machine);

// VerifyVersionInfoW with VER_GREATER_EQUAL on major, minor and service
// pack major: compared in that order, the first difference decides.
bool is_version_at_least(const OsVersion& version, DWORD major, DWORD minor, DWORD service_pack_major);

}  // namespace rk::sys
