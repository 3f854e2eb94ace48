#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <tuple>

#include "platform/system/osinfo/os_info.h"
#include "platform/text/utf.h"

namespace rk::sys {
namespace {

TEST(OsVersionFromUname, ReleaseTexts) {
    struct Case {
        std::string release;
        DWORD major, minor, build;
    };
    const Case cases[] = {
        {"6.1.0-18-amd64", 6, 1, 0},
        {"5.15.133.1-microsoft-standard-WSL2", 5, 15, 133},
        {"6.8.12", 6, 8, 12},
        {"4.19", 4, 19, 0},
        {"7", 7, 0, 0},
        {"6.x.3", 6, 0, 0},
        {"", 0, 0, 0},
        {"99999999999.1", 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.release);
        const OsVersion v = os_version_from_uname("Linux", c.release, "x86_64");
        EXPECT_EQ(std::tie(v.major, v.minor, v.build, v.service_pack_major, v.platform_id),
                  std::tuple(c.major, c.minor, c.build, DWORD{0}, kVerPlatformWin32Nt));
    }
    EXPECT_TRUE(os_version_from_uname("Linux", "6.1", "aarch64").is_64bit);
    EXPECT_FALSE(os_version_from_uname("Linux", "6.1", "i686").is_64bit);
}

TEST(OsVersionFromUname, MachineNamesGiveTheWindowsArchitecture) {
    const struct {
        const char* machine;
        std::uint16_t architecture;
    } cases[] = {
        {"x86_64", 9}, {"i686", 0}, {"i386", 0}, {"aarch64", 12}, {"armv7l", 5}, {"ia64", 6},
        {"riscv64", 0xFFFF}, {"", 0xFFFF},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(os_version_from_uname("Linux", "6.1", c.machine).processor_architecture, c.architecture)
            << c.machine;
    }
}

TEST(IsVersionAtLeast, ComparesMajorMinorServicePackInOrder) {
    struct Case {
        DWORD major, minor, sp;      // running
        DWORD rmajor, rminor, rsp;   // required
        bool result;
    };
    const Case cases[] = {
        {10, 0, 0, 10, 0, 0, true},
        {6, 3, 0, 10, 0, 0, false},   // Windows 8.1 against "10.0"
        {10, 0, 0, 6, 1, 1, true},    // a higher major ignores minor and service pack
        {6, 1, 0, 6, 1, 1, false},    // Windows 7 without SP1 against "6.1"
        {6, 1, 1, 6, 1, 1, true},
        {6, 2, 0, 6, 1, 1, true},     // a higher minor ignores the service pack
        {6, 0, 2, 6, 1, 0, false},
        {5, 15, 0, 6, 1, 1, false},
    };
    for (const auto& c : cases) {
        OsVersion v;
        v.major = c.major;
        v.minor = c.minor;
        v.service_pack_major = c.sp;
        EXPECT_EQ(is_version_at_least(v, c.rmajor, c.rminor, c.rsp), c.result)
            << c.major << "." << c.minor << " sp" << c.sp << " vs " << c.rmajor << "." << c.rminor << " sp" << c.rsp;
    }
}

TEST(SystemOsInfo, ReportsTheRunningKernel) {
    utsname names{};
    ASSERT_EQ(::uname(&names), 0);
    const OsVersion v = system_os_info()->version();
    EXPECT_EQ(v.release, text::utf8_to_wide(names.release));
    EXPECT_GE(v.major, 3u);
    EXPECT_EQ(v.is_64bit, sizeof(void*) == 8);
}

}  // namespace
}  // namespace rk::sys
