// The registry family (REG, REG32, REG64, REGISTRY, RGO, RGO32, RGO64,
// OREGISTRY) and the INI family (INI, INO), against a real registry store and
// real files in a temporary root.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/config/obfuscated_ini_reader.h"
#include "platform/config/obfuscated_reg_key.h"
#include "platform/config/reg_key.h"
#include "platform/system/osinfo/os_info.h"
#include "platform/system/test/temp_root.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/substitutions/substitution_constants.h"
#include "xml_updater/substitutions/test/log_capture.h"

namespace XMLUpdater::v2 {
namespace {

namespace reg = rk::sys::reg;
namespace fs = std::filesystem;

std::shared_ptr<rk::sys::OsInfo> machine() {
    rk::sys::OsVersion v;
    v.major = 10;
    v.machine = L"x86_64";
    return std::make_shared<rk::sys::FixedOsInfo>(v);
}

class StoreSubstitutions : public ::testing::Test {
protected:
    void SetUp() override {
        DiraDoro::CRegKey wow;  // the 32-bit view
        ASSERT_EQ(wow.Create(reg::HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Test", nullptr, reg::REG_OPTION_NON_VOLATILE,
                             reg::KEY_READ | reg::KEY_WRITE | reg::KEY_WOW64_32KEY),
                  0);
        ASSERT_EQ(wow.SetStringValue(L"Name", L"wow"), 0);
        ASSERT_EQ(wow.SetStringValue(L"Empty", L""), 0);
        ASSERT_EQ(wow.SetDWORDValue(L"Max", 0xFFFFFFFFu), 0);
        ASSERT_EQ(wow.SetDWORDValue(L"Zero", 0), 0);
        ASSERT_EQ(wow.SetQWORDValue(L"Big", 0x1122334455667788ull), 0);
        const std::uint8_t two[] = {0x01, 0x02};
        ASSERT_EQ(wow.SetBinaryValue(L"Two", two, sizeof two), 0);
        ASSERT_EQ(wow.SetStringValue(L"Expand", L"%TEMP%", reg::REG_EXPAND_SZ), 0);
        ASSERT_EQ(wow.SetStringValue(L"Long", std::wstring(600, L'l').c_str()), 0);
        ASSERT_EQ(wow.SetStringValue(L"Fits", std::wstring(510, L'f').c_str()), 0);
        // Only in the 64-bit (native) view, with its own values.
        DiraDoro::CRegKey key;
        ASSERT_EQ(key.Create(reg::HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Test", nullptr,
                             reg::REG_OPTION_NON_VOLATILE, reg::KEY_READ | reg::KEY_WRITE | reg::KEY_WOW64_64KEY),
                  0);
        ASSERT_EQ(key.SetStringValue(L"Name", L"native"), 0);
        DiraDoro::CRegKey user;
        ASSERT_EQ(user.Create(reg::HKEY_CURRENT_USER, L"Software\\Corvane"), 0);
        ASSERT_EQ(user.SetStringValue(L"Name", L"user"), 0);
        DiraDoro::CObfuscatedRegKey scrambled;
        ASSERT_EQ(scrambled.Create(reg::HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Scrambled", nullptr,
                                   reg::REG_OPTION_NON_VOLATILE, reg::KEY_READ | reg::KEY_WRITE | reg::KEY_WOW64_32KEY),
                  0);
        ASSERT_EQ(scrambled.SetStringValue(L"Name", L"hidden"), 0);
        ASSERT_EQ(scrambled.SetDWORDValue(L"Count", 7), 0);
        ASSERT_EQ(scrambled.SetStringValue(L"Native", L"no"), 0);
        fs::create_directories(root_.path() / "etc");
        std::ofstream(root_.path() / "etc/plain.ini") << "[Main]\r\nVersion = 1.2.3\r\nquoted=\"a b\"\r\n"
                                                         "[Other]\r\nKey=other\r\n";
        DiraDoro::CObfuscatedIniReader ini;
        ini.Load(L"C:\\etc\\scrambled.ini");
        ASSERT_TRUE(ini.SetString(L"Main", L"Version", L"9.8.7"));
    }

    std::wstring expand(std::wstring text) {
        manager_.Substitute(text);
        return text;
    }

    rk::sys::test::TempRoot root_;
    rk::sys::test::ScopedEnv home_{"HOME", (root_.path() / "home").string()};
    test::LogCapture log_;
    CSubstitutionManager manager_{machine()};
};

TEST_F(StoreSubstitutions, ValuesTypesViewsAndScrambling) {
    const struct {
        const wchar_t* token;
        std::wstring expected;
    } cases[] = {
        {L"[REG:SOFTWARE\\Corvane\\Test@Name]", L"wow"},
        {L"[REG:SOFTWARE\\Corvane\\Test@Empty]", L""},
        {L"[REG:SOFTWARE\\Corvane\\Test@Max]", L"4294967295"},
        {L"[REG:SOFTWARE\\Corvane\\Test@Zero]", L"0"},
        {L"[REG:SOFTWARE\\Corvane\\Test@Big]", L"1432778632"},  // the low 32 bits, 0x55667788
        {L"[REG:SOFTWARE\\Corvane\\Test@Two]", L"513"},          // 01 02 00 00
        {L"[REG:SOFTWARE\\Corvane\\Test@Expand]", L"5505061"},   // not REG_SZ: "%T" (25 00 54 00) as a number
        {L"[REG:SOFTWARE\\Corvane\\Test@Fits]", std::wstring(510, L'f')},
        {L"[REG:software\\corvane\\test@name]", L"wow"},  // the registry ignores case
        {L"[REG:HKLM|SOFTWARE\\Corvane\\Test@Name]", L"wow"},
        {L"[REG:XYZ|SOFTWARE\\Corvane\\Test@Name]", L"wow"},     // unknown hives mean the machine
        {L"[REG:SOFTWARE\\Corvane\\Test@]", L""},                // the key exists
        {L"[REG:HKCU|Software\\Corvane@Name]", L"user"},
        {L"[REGISTRY:HKCU|Software\\Corvane@Name]", L"user"},
        {L"[REG:hkcu|Software\\Corvane@Name]", L"!UNKNOWN"},     // hive names are case-sensitive
        // Views: REG and REG32 read the 32-bit view, REG64 and REGISTRY the native one.
        {L"[REG32:SOFTWARE\\Corvane\\Test@Name]", L"wow"},
        {L"[REG64:SOFTWARE\\Corvane\\Test@Name]", L"native"},
        {L"[REGISTRY:SOFTWARE\\Corvane\\Test@Name]", L"native"},
        // The scrambled family reads scrambled values only.
        {L"[RGO:SOFTWARE\\Corvane\\Test@Name]", L"!UNKNOWN"},
        {L"[RGO64:SOFTWARE\\Corvane\\Test@Name]", L"!UNKNOWN"},
        {L"[RGO:SOFTWARE\\Corvane\\Scrambled@Name]", L"hidden"},
        {L"[RGO32:SOFTWARE\\Corvane\\Scrambled@Name]", L"hidden"},
        {L"[RGO:SOFTWARE\\Corvane\\Scrambled@Count]", L"7"},
        {L"[RGO64:SOFTWARE\\Corvane\\Scrambled@Name]", L"!UNKNOWN"},  // written in the 32-bit view
        {L"[OREGISTRY:SOFTWARE\\WOW6432Node\\Corvane\\Scrambled@Name]", L"hidden"},
        {L"[RGO:SOFTWARE\\Corvane\\Scrambled@]", L""},
        {L"[INI:C:\\etc\\plain.ini|Main@Version]", L"1.2.3"},
        {L"[INI:C:\\etc\\plain.ini|main@VERSION]", L"1.2.3"},  // names ignore case
        {L"[INI:C:\\etc\\plain.ini|Other@Key]", L"other"},
        {L"[INO:C:\\etc\\scrambled.ini|Main@Version]", L"9.8.7"},
        {L"[INO:C:\\etc\\plain.ini|Main@Version]", L"!UNKNOWN"},  // plain values are refused
    };
    for (const auto& c : cases) {
        EXPECT_EQ(expand(c.token), c.expected) << c.token << L"\n" << log_.Dump();
    }
    EXPECT_EQ(log_.Level(L"registry key exists"), 4);
    // Read plainly, the scrambled bytes are REG_BINARY: a number, not the text.
    const std::wstring plain = expand(L"[REG:SOFTWARE\\Corvane\\Scrambled@Name]");
    EXPECT_NE(plain, L"hidden");
    EXPECT_NE(plain, L"!UNKNOWN");
}

TEST_F(StoreSubstitutions, Failures) {
    const struct {
        const wchar_t* token;
        const wchar_t* message;
        int level;
    } cases[] = {
        {L"[REG:SOFTWARE\\Corvane\\Test]", L"Delimiter character not found", 1},
        {L"[REG:HKCU|Software\\Corvane]", L"Delimiter character not found", 1},
        {L"[REG:SOFTWARE\\Missing@Name]", L"Failed to open key SOFTWARE\\Missing@Name: 2", 3},
        {L"[REG64:SOFTWARE\\Missing@]", L"Failed to open key SOFTWARE\\Missing@: 2", 3},
        {L"[REG:SOFTWARE\\Corvane\\Test@Nope]", L"Failed to query key SOFTWARE\\Corvane\\Test@Nope: 2", 3},
        // 600 characters are 1202 bytes: more than the 1023-byte buffer.
        {L"[REG:SOFTWARE\\Corvane\\Test@Long]", L"Failed to query key SOFTWARE\\Corvane\\Test@Long: 234", 3},
        {L"[RGO:SOFTWARE\\Corvane\\Test@Name]", L"Failed to query key SOFTWARE\\Corvane\\Test@Name: 13", 3},
        {L"[REG:\\bad\\\\path@x]", L"Failed to open key \\bad\\\\path@x: 161", 3},
        {L"[INI:C:\\etc\\plain.ini]", L"Error: No path provided for the ini file", 1},
        {L"[INI:Main@Version]", L"Error: No path provided for the ini file", 1},
        {L"[INI:C:\\etc\\plain.ini|Main]", L"Error: No section name provided for the ini key", 1},
        {L"[INI:C:\\etc\\x@y.ini|Main]", L"Error: No section name provided for the ini key", 1},
        {L"[INI:C:\\etc\\none.ini|Main@Version]", L"CObfuscatedIniReader cannot load file: C:\\etc\\none.ini", 3},
        {L"[INI:C:\\etc\\plain.ini|Nope@Version]", L"No section found for Nope", 1},
        {L"[INI:C:\\etc\\plain.ini|Main@Nope]", L"Key was not found: Nope", 1},
        {L"[INI:C:\\etc\\plain.ini|Main@Nope]", L"Unable to read the ini value, key: Nope", 4},
    };
    for (const auto& c : cases) {
        log_.Clear();
        EXPECT_EQ(expand(c.token), L"!UNKNOWN") << c.token;
        EXPECT_EQ(log_.Level(c.message), c.level) << c.token << L"\n" << log_.Dump();
    }
}

}  // namespace
}  // namespace XMLUpdater::v2
