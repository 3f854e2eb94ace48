#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/config/rk_bs_config.h"
#include "app/config/rk_common_helper.h"
#include "platform/config/reg_key.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/paths.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace {

namespace fs = std::filesystem;
using rk::logging::test::ScopedLogCapture;

void write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

class ProductConfig : public ::testing::Test {
protected:
    rk::sys::test::TempRoot root_;
    fs::path module_ = root_.path() / "opt/updater";
    RkBsConfig config_{rk::sys::wide_path(module_)};
};

TEST_F(ProductConfig, StateFileFollowsTheApplicationFolderName) {
    ScopedLogCapture capture;
    const std::wstring program_data = rk::sys::wide_path(root_.path() / "var/lib");
    EXPECT_EQ(config_.getRuntimeConfigPath(), program_data + L"\\Corvane Lumora\\lbstate.ini");
    EXPECT_TRUE(capture.logger().Contains(L"CLmrSettings::cfgAppDir - appdir value not found default returning"));
    EXPECT_TRUE(capture.logger().Contains(L"RkBsConfig::getRuntimeConfigPath - AppDataDir = " + program_data));

    write(module_ / "lbconfig.ini", "[Brightscan]\r\nAppDir=Lumora Beta\r\n");
    EXPECT_EQ(config_.getRuntimeConfigPath(), program_data + L"\\Lumora Beta\\lbstate.ini");
    write(module_ / "lbconfig.ini", "[Brightscan]\r\nAppDir=\r\n");
    EXPECT_EQ(config_.Settings().cfgAppDir(), L"Corvane Lumora");
    EXPECT_EQ(RkBsConfig(L"").Settings().cfgAppDir(), L"Corvane Lumora");
}

TEST_F(ProductConfig, ValuesCountOnlyFromOneTo2045Characters) {
    const fs::path state = root_.path() / "var/lib/Corvane Lumora/lbstate.ini";
    const struct {
        std::string file;  // empty: no file
        bool found;
        std::wstring value;
    } cases[] = {
        {"", false, L""},
        {"[Brightscan]\nInstallSource=web\n", true, L"web"},
        {"[brightscan]\ninstallsource = \"quoted\" \n", true, L"quoted"},
        {"[Brightscan]\nInstallSource=\n", false, L""},
        {"[Other]\nInstallSource=web\n", false, L""},
        {"[Brightscan]\nInstallSource=" + std::string(2045, 'a') + "\n", true, std::wstring(2045, L'a')},
        {"[Brightscan]\nInstallSource=" + std::string(2046, 'a') + "\n", false, L""},
        {"[Brightscan]\nInstallSource=" + std::string(5000, 'a') + "\n", false, L""},
        {"[Brightscan]\nInstallSource=web\n;" + std::string(rk::app::kMaxStateFileBytes, 'x') + "\n", false, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.substr(0, 40));
        fs::remove(state);
        if (!c.file.empty()) {
            write(state, c.file);
        }
        std::wstring value = L"untouched";
        EXPECT_EQ(config_.GetRuntimeValue(L"Brightscan", L"InstallSource", value) != 0, c.found);
        EXPECT_EQ(value, c.found ? c.value : L"untouched");
    }
}

TEST(RkCommonHelper, MachineFactsAndTheirFallbacks) {
    rk::sys::test::TempRoot root;
    ScopedLogCapture capture;
    std::wstring value;
    ASSERT_TRUE(RkCommonHelper::GetMachineGuid(value));
    EXPECT_EQ(value, L"00000000-0000-0000-0000-000000000000");
    EXPECT_TRUE(capture.logger().Contains(L"RegOpenKeyEx(.HKLM\\SOFTWARE\\Microsoft\\Cryptography.) failed."));
    write(root.path() / "etc/machine-id", "0123456789abcdef0123456789abcdeX\n");
    ASSERT_TRUE(RkCommonHelper::GetMachineGuid(value));
    EXPECT_EQ(value, L"00000000-0000-0000-0000-000000000000");
    EXPECT_TRUE(capture.logger().Contains(
        L"RegQueryValueEx(.MachineGuid [1].) failed to read from HKLM\\SOFTWARE\\Microsoft\\Cryptography with error "
        L"code 13"));
    write(root.path() / "etc/machine-id", "0123456789abcdef0123456789abcdef\n");
    ASSERT_TRUE(RkCommonHelper::GetMachineGuid(value));
    EXPECT_EQ(value, L"01234567-89ab-cdef-0123-456789abcdef");

    write(root.path() / "etc/os-release", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    ASSERT_TRUE(RkCommonHelper::GetOSName(value));
    EXPECT_EQ(value, L"Debian GNU/Linux 12 (bookworm) 64 bit");
    EXPECT_TRUE(capture.logger().Contains(L"Method Enters.."));
    ASSERT_TRUE(RkCommonHelper::GetWindowsVersion(value));
    EXPECT_TRUE(capture.logger().Contains(L"OS version is " + value));

    value = L"untouched";
    EXPECT_FALSE(RkCommonHelper::GetIEVersion(value));
    EXPECT_EQ(value, L"untouched");
    EXPECT_TRUE(capture.logger().Contains(L"Failed to get IE version Error = 2"));
    DiraDoro::CRegKey key;
    ASSERT_EQ(key.Create(rk::sys::reg::HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer"), 0);
    ASSERT_EQ(key.SetStringValue(L"Version", L"9.11.19041.0"), 0);
    ASSERT_TRUE(RkCommonHelper::GetIEVersion(value));
    EXPECT_EQ(value, L"9.11.19041.0");
    ASSERT_EQ(key.SetStringValue(L"svcVersion", L"11.789.19041.0"), 0);
    ASSERT_TRUE(RkCommonHelper::GetIEVersion(value));
    EXPECT_EQ(value, L"11.789.19041.0");
    EXPECT_TRUE(capture.logger().Contains(L"IE svc version is 11.789.19041.0"));
}

}  // namespace
