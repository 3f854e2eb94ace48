#include "platform/config/reg_key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/config/obfuscated_reg_key.h"
#include "platform/config/scrambler.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace DiraDoro {
namespace {

namespace reg = rk::sys::reg;
using reg::HKEY_LOCAL_MACHINE;

constexpr const wchar_t* kKeyPath = L"SOFTWARE\\Corvane\\Test";

class RegKeyTest : public ::testing::Test {
protected:
    rk::sys::test::TempRoot root_;

    // Writes a raw value through the seam, bypassing CRegKey.
    static void put_raw(const wchar_t* name, DWORD type, const std::vector<std::uint8_t>& data) {
        reg::HKEY key = nullptr;
        ASSERT_EQ(0, reg::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, nullptr, 0, reg::KEY_ALL_ACCESS, nullptr,
                                          &key, nullptr));
        ASSERT_EQ(0, reg::RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())));
        reg::RegCloseKey(key);
    }
    static std::pair<DWORD, std::vector<std::uint8_t>> get_raw(const wchar_t* name) {
        reg::HKEY key = nullptr;
        std::vector<std::uint8_t> data(4096);
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size());
        if (reg::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, reg::KEY_READ, &key) != 0 ||
            reg::RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) != 0) {
            reg::RegCloseKey(key);
            return {0xFFFFFFFF, {}};
        }
        reg::RegCloseKey(key);
        data.resize(size);
        return {type, data};
    }
    static std::vector<std::uint8_t> utf16(const std::wstring& s) { return rk::text::wide_to_utf16le(s); }
};

// The typed reads and writes go through QueryValue and SetValue.
TEST_F(RegKeyTest, EveryOperationNeedsAnOpenKey) {
    CRegKey key;
    DWORD dw = 0;
    wchar_t buf[8];
    std::uint8_t bytes[8];
    ULONG size = 8;
    DWORD name_size = 8;
    const std::vector<std::pair<const char*, std::function<LONG()>>> ops = {
        {"QueryValue", [&] { return key.QueryValue(L"v", &dw, bytes, &size); }},
        {"SetValue", [&] { return key.SetValue(L"v", reg::REG_BINARY, bytes, 1); }},
        {"GetKeySecurity", [&] { return key.GetKeySecurity(reg::DACL_SECURITY_INFORMATION, bytes, &dw); }},
        {"SetKeySecurity", [&] { return key.SetKeySecurity(reg::DACL_SECURITY_INFORMATION, bytes); }},
        {"Flush", [&] { return key.Flush(); }},
        {"EnumSubKey", [&] { return key.EnumSubKey(0, buf, &name_size); }},
        {"NotifyChange",
         [&] { return key.NotifyChange(false, reg::REG_NOTIFY_CHANGE_NAME, std::make_shared<reg::ChangeEvent>()); }},
        {"DeleteSubKey", [&] { return key.DeleteSubKey(L"x"); }},
        {"RecurseDeleteKey", [&] { return key.RecurseDeleteKey(L"x"); }},
        {"DeleteValue", [&] { return key.DeleteValue(L"x"); }},
        {"SetKeyAccessRules", [&] { return key.SetKeyAccessRules(0); }},
        {"Create with no parent", [&] { return key.Create(nullptr, L"x"); }},
        {"Open with no parent", [&] { return key.Open(nullptr, L"x"); }},
    };
    for (const auto& [name, op] : ops) {
        EXPECT_EQ(87, op()) << name;
    }
    EXPECT_EQ(0, key.Close());
    EXPECT_EQ(nullptr, key.Detach());
}

TEST_F(RegKeyTest, TypedWritesStoreExactTypesAndSizes) {
    CRegKey key;
    ASSERT_EQ(0, key.Create(HKEY_LOCAL_MACHINE, kKeyPath));
    const std::uint8_t bin[] = {1, 2, 3};
    const GUID guid{0x12345678, 0x9ABC, 0xDEF0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
    ASSERT_EQ(0, key.SetDWORDValue(L"dw", 0x11223344));
    ASSERT_EQ(0, key.SetQWORDValue(L"qw", 0x1122334455667788ULL));
    ASSERT_EQ(0, key.SetStringValue(L"sz", L"abc"));
    ASSERT_EQ(0, key.SetStringValue(L"ex", L"%TEMP%", reg::REG_EXPAND_SZ));
    ASSERT_EQ(0, key.SetMultiStringValue(L"ms", L"a\0bc\0"));
    ASSERT_EQ(0, key.SetBinaryValue(L"bin", bin, sizeof bin));
    ASSERT_EQ(0, key.SetGuidValue(L"guid", guid));
    struct Case {
        const wchar_t* name;
        DWORD type;
        std::vector<std::uint8_t> data;
    };
    const Case cases[] = {
        {L"dw", reg::REG_DWORD, {0x44, 0x33, 0x22, 0x11}},
        {L"qw", reg::REG_QWORD, {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}},
        {L"sz", reg::REG_SZ, utf16(std::wstring(L"abc\0", 4))},
        {L"ex", reg::REG_EXPAND_SZ, utf16(std::wstring(L"%TEMP%\0", 7))},
        {L"ms", reg::REG_MULTI_SZ, utf16(std::wstring(L"a\0bc\0\0", 6))},
        {L"bin", reg::REG_BINARY, {1, 2, 3}},
        {L"guid", reg::REG_SZ, utf16(std::wstring(L"{12345678-9ABC-DEF0-0123-456789ABCDEF}\0", 39))},
    };
    for (const auto& c : cases) {
        const auto [type, data] = get_raw(c.name);
        EXPECT_EQ(c.type, type) << c.name;
        EXPECT_EQ(c.data, data) << c.name;
    }
    EXPECT_EQ(87, key.SetValue(L"x", reg::REG_BINARY, bin, 0));
    EXPECT_EQ(87, key.SetValue(L"x", reg::REG_BINARY, nullptr, 1));
    EXPECT_EQ(87, key.SetBinaryValue(L"x", bin, 0));
    EXPECT_EQ(13, key.SetStringValue(L"x", nullptr));
    EXPECT_EQ(13, key.SetMultiStringValue(L"x", nullptr));
}

TEST_F(RegKeyTest, TypedReadsCheckTypeAndShape) {
    put_raw(L"sz", reg::REG_SZ, utf16(std::wstring(L"hello\0", 6)));
    put_raw(L"dw", reg::REG_DWORD, {1, 0, 0, 0});
    put_raw(L"shortdw", reg::REG_DWORD, {1, 0});
    put_raw(L"qw", reg::REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0});
    put_raw(L"bin", reg::REG_BINARY, {9, 9});
    put_raw(L"odd", reg::REG_SZ, {'a', 0, 0});
    put_raw(L"noterm", reg::REG_SZ, utf16(L"abc"));
    put_raw(L"ms", reg::REG_MULTI_SZ, utf16(std::wstring(L"a\0b\0\0", 5)));
    put_raw(L"msbad", reg::REG_MULTI_SZ, utf16(std::wstring(L"a\0b", 3)));
    put_raw(L"guidnobrace", reg::REG_SZ, utf16(std::wstring(L"12345678-9ABC-DEF0-0123-456789ABCDEF\0", 37)));
    put_raw(L"guidlower", reg::REG_SZ, utf16(std::wstring(L"{12345678-9abc-def0-0123-456789abcdef}\0", 39)));
    put_raw(L"guidbad", reg::REG_SZ, utf16(std::wstring(L"{not-a-guid}\0", 13)));
    CRegKey key;
    ASSERT_EQ(0, key.Open(HKEY_LOCAL_MACHINE, kKeyPath, reg::KEY_READ));

    DWORD dw = 0;
    ULONGLONG qw = 0;
    std::uint8_t bytes[16];
    ULONG size = sizeof bytes;
    wchar_t buf[64];
    ULONG chars = 64;
    std::wstring text;
    const std::vector<std::tuple<const char*, std::function<LONG()>, LONG>> cases = {
        {"DWORD of REG_SZ", [&] { return key.QueryDWORDValue(L"sz", dw); }, 13},
        {"DWORD of 2 bytes", [&] { return key.QueryDWORDValue(L"shortdw", dw); }, 13},
        {"DWORD missing", [&] { return key.QueryDWORDValue(L"missing", dw); }, 2},
        {"QWORD of REG_DWORD", [&] { return key.QueryQWORDValue(L"dw", qw); }, 13},
        {"binary of REG_SZ", [&] { size = sizeof bytes; return key.QueryBinaryValue(L"sz", bytes, &size); }, 13},
        {"binary too small", [&] { size = 1; return key.QueryBinaryValue(L"bin", bytes, &size); }, 234},
        {"string buffer of REG_DWORD", [&] { chars = 64; return key.QueryStringBuffer(L"dw", buf, &chars); }, 13},
        {"string odd bytes", [&] { chars = 64; return key.QueryStringBuffer(L"odd", buf, &chars); }, 13},
        {"string without terminator", [&] { chars = 64; return key.QueryStringBuffer(L"noterm", buf, &chars); }, 13},
        {"string buffer too small", [&] { chars = 3; return key.QueryStringBuffer(L"sz", buf, &chars); }, 234},
        {"string value of REG_DWORD", [&] { return key.QueryStringValue(L"dw", text); }, 13},
        {"multi buffer < 2", [&] { chars = 1; return key.QueryMultiStringValue(L"ms", buf, &chars); }, 122},
        {"multi of REG_SZ", [&] { chars = 64; return key.QueryMultiStringValue(L"sz", buf, &chars); }, 13},
        {"multi without list end", [&] { chars = 64; return key.QueryMultiStringValue(L"msbad", buf, &chars); }, 13},
    };
    for (const auto& [what, op, expected] : cases) {
        EXPECT_EQ(expected, op()) << what;
    }

    chars = 3;
    ASSERT_EQ(234, key.QueryStringBuffer(L"sz", buf, &chars));
    EXPECT_EQ(6u, chars);  // characters needed, terminator included
    chars = 64;
    ASSERT_EQ(0, key.QueryStringBuffer(L"sz", buf, &chars));
    EXPECT_EQ(6u, chars);
    EXPECT_EQ(std::wstring(L"hello"), buf);
    ASSERT_EQ(0, key.QueryStringValue(L"sz", text));
    EXPECT_EQ(L"hello", text);
    chars = 64;
    ASSERT_EQ(0, key.QueryMultiStringValue(L"ms", buf, &chars));
    EXPECT_EQ(5u, chars);
    EXPECT_EQ(0, std::wmemcmp(buf, L"a\0b\0\0", 5));
    ASSERT_EQ(0, key.QueryQWORDValue(L"qw", qw));
    EXPECT_EQ(1u, qw);

    GUID guid;
    guid.Data1 = 77;
    EXPECT_EQ(13, key.QueryGuidValue(L"guidnobrace", guid));
    EXPECT_EQ(GUID{}, guid);
    EXPECT_EQ(13, key.QueryGuidValue(L"guidbad", guid));
    ASSERT_EQ(0, key.QueryGuidValue(L"guidlower", guid));
    EXPECT_EQ(0x12345678u, guid.Data1);
    EXPECT_EQ(0xEFu, guid.Data4[7]);
}

TEST_F(RegKeyTest, CopiesShareTheOpenKey) {
    CRegKey a;
    ASSERT_EQ(0, a.Create(HKEY_LOCAL_MACHINE, kKeyPath));
    CRegKey b = a;
    ASSERT_EQ(0, b.SetDWORDValue(L"v", 5));
    DWORD v = 0;
    ASSERT_EQ(0, a.QueryDWORDValue(L"v", v));
    EXPECT_EQ(5u, v);
    a.Close();
    EXPECT_EQ(87, b.QueryDWORDValue(L"v", v));
}

TEST_F(RegKeyTest, CloseWithDeleteOnCloseRemovesTheWholeKey) {
    CRegKey key;
    DWORD disposition = 0;
    ASSERT_EQ(0, key.Create(HKEY_LOCAL_MACHINE, kKeyPath, nullptr, 0, reg::KEY_ALL_ACCESS, nullptr, &disposition));
    EXPECT_EQ(reg::REG_CREATED_NEW_KEY, disposition);
    CRegKey child;
    ASSERT_EQ(0, child.Create(key, L"Child\\Grandchild"));
    ASSERT_EQ(0, child.SetDWORDValue(L"v", 1));
    ASSERT_EQ(0, key.SetDWORDValue(L"v", 1));
    child.Close();
    key.SetDeleteOnClose(true);
    EXPECT_TRUE(key.GetDeleteOnClose());
    EXPECT_EQ(0, key.Close());
    EXPECT_FALSE(key.GetDeleteOnClose());
    EXPECT_EQ(2, key.Open(HKEY_LOCAL_MACHINE, kKeyPath));
    EXPECT_EQ(0, key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane"));
}

TEST_F(RegKeyTest, DeleteSubKeyUsesTheViewOfTheKey) {
    struct Case {
        const char* what;
        const wchar_t* open;  // opened with KEY_WOW64_32KEY
        const wchar_t* sub;
    };
    // Opening HKLM itself in the 32-bit view redirects nothing yet: only the
    // stored view bits make the delete land in WOW6432Node.
    const Case cases[] = {
        {"root opened 32-bit", nullptr, L"SOFTWARE\\Corvane\\Sub"},
        {"SOFTWARE opened 32-bit", L"SOFTWARE", L"Corvane\\Sub"},
    };
    for (const auto& c : cases) {
        for (const REGSAM view : {reg::KEY_WOW64_32KEY, reg::KEY_WOW64_64KEY}) {
            CRegKey k;
            ASSERT_EQ(0, k.Create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Sub", nullptr, 0,
                                  reg::KEY_ALL_ACCESS | view));
        }
        CRegKey parent;
        ASSERT_EQ(0, parent.Open(HKEY_LOCAL_MACHINE, c.open, reg::KEY_ALL_ACCESS | reg::KEY_WOW64_32KEY)) << c.what;
        EXPECT_EQ(0, parent.DeleteSubKey(c.sub)) << c.what;
        CRegKey probe;
        EXPECT_EQ(2, probe.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WOW6432Node\\Corvane\\Sub", reg::KEY_READ))
            << c.what;
        EXPECT_EQ(0, probe.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Sub", reg::KEY_READ)) << c.what;
    }
    // Attach clears the view bits: the same delete now uses the native view.
    CRegKey root;
    ASSERT_EQ(0, root.Open(HKEY_LOCAL_MACHINE, nullptr, reg::KEY_ALL_ACCESS | reg::KEY_WOW64_32KEY));
    root.Attach(root.Detach());
    EXPECT_EQ(0, root.DeleteSubKey(L"SOFTWARE\\Corvane\\Sub"));
    CRegKey probe;
    EXPECT_EQ(2, probe.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Sub", reg::KEY_READ));
    EXPECT_EQ(87, root.DeleteSubKey(nullptr));
}

TEST_F(RegKeyTest, RecurseDeleteKeyRemovesATree) {
    CRegKey root;
    ASSERT_EQ(0, root.Create(HKEY_LOCAL_MACHINE, kKeyPath));
    for (const wchar_t* path : {L"T\\a\\x", L"T\\a\\y", L"T\\b", L"Keep"}) {
        CRegKey k;
        ASSERT_EQ(0, k.Create(root, path));
        ASSERT_EQ(0, k.SetDWORDValue(L"v", 1));
    }
    EXPECT_EQ(0, root.RecurseDeleteKey(L"T"));
    EXPECT_EQ(2, root.RecurseDeleteKey(L"T"));
    wchar_t name[256];
    DWORD size = 256;
    ASSERT_EQ(0, root.EnumSubKey(0, name, &size));
    EXPECT_EQ(std::wstring(L"Keep"), name);
    size = 256;
    EXPECT_EQ(259, root.EnumSubKey(1, name, &size));
    EXPECT_EQ(87, root.DeleteValue(nullptr));
    EXPECT_EQ(2, root.DeleteValue(L"none"));
}

TEST_F(RegKeyTest, AccessRulesAreStoredAsADescriptor) {
    CRegKey key;
    ASSERT_EQ(0, key.Create(HKEY_LOCAL_MACHINE, kKeyPath, nullptr, 0, reg::KEY_ALL_ACCESS));
    std::vector<std::uint8_t> by_flag[2];
    for (const DWORD flag : {0u, 1u}) {
        ASSERT_EQ(0, key.SetKeyAccessRules(flag));
        DWORD size = 0;
        ASSERT_EQ(122, key.GetKeySecurity(reg::DACL_SECURITY_INFORMATION, nullptr, &size));
        by_flag[flag].resize(size);
        ASSERT_EQ(0, key.GetKeySecurity(reg::DACL_SECURITY_INFORMATION, by_flag[flag].data(), &size));
        EXPECT_EQ(1, by_flag[flag][0]);  // revision
        EXPECT_EQ(0x80, by_flag[flag][3] & 0x80);  // self-relative
    }
    EXPECT_NE(by_flag[0], by_flag[1]);
    // The descriptor round-trips through SetKeySecurity.
    ASSERT_EQ(0, key.SetKeySecurity(reg::DACL_SECURITY_INFORMATION, by_flag[0].data()));
    std::vector<std::uint8_t> back(by_flag[0].size());
    DWORD size = static_cast<DWORD>(back.size());
    ASSERT_EQ(0, key.GetKeySecurity(reg::DACL_SECURITY_INFORMATION, back.data(), &size));
    EXPECT_EQ(by_flag[0], back);
}

TEST_F(RegKeyTest, ObfuscatedKeyRoundTripsEveryTypeAndRefusesPlainValues) {
    CObfuscatedRegKey key;
    ASSERT_EQ(0, key.Create(HKEY_LOCAL_MACHINE, kKeyPath));
    const GUID guid{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    const std::uint8_t bin[] = {0, 0xFF, 0x10};
    ASSERT_EQ(0, key.SetDWORDValue(L"dw", 0xDEADBEEF));
    ASSERT_EQ(0, key.SetQWORDValue(L"qw", 42));
    ASSERT_EQ(0, key.SetStringValue(L"sz", L"secret \u00e9"));
    ASSERT_EQ(0, key.SetMultiStringValue(L"ms", L"one\0two\0"));
    ASSERT_EQ(0, key.SetBinaryValue(L"bin", bin, sizeof bin));
    ASSERT_EQ(0, key.SetGuidValue(L"guid", guid));

    DWORD dw = 0;
    ULONGLONG qw = 0;
    std::wstring text;
    GUID guid_back;
    std::uint8_t bin_back[8];
    ULONG bin_size = sizeof bin_back;
    wchar_t multi[32];
    ULONG multi_chars = 32;
    ASSERT_EQ(0, key.QueryDWORDValue(L"dw", dw));
    ASSERT_EQ(0, key.QueryQWORDValue(L"qw", qw));
    ASSERT_EQ(0, key.QueryStringValue(L"sz", text));
    ASSERT_EQ(0, key.QueryGuidValue(L"guid", guid_back));
    ASSERT_EQ(0, key.QueryBinaryValue(L"bin", bin_back, &bin_size));
    ASSERT_EQ(0, key.QueryMultiStringValue(L"ms", multi, &multi_chars));
    EXPECT_EQ(std::tuple(dw, qw, text, std::vector<std::uint8_t>(bin_back, bin_back + bin_size),
                         std::wstring(multi, multi_chars)),
              std::tuple(0xDEADBEEFu, 42u, L"secret \u00e9", std::vector<std::uint8_t>(bin, bin + 3),
                         std::wstring(L"one\0two\0\0", 9)));
    EXPECT_EQ(guid, guid_back);
    EXPECT_EQ(13, key.QueryDWORDValue(L"sz", dw));  // the stored type still counts

    // Stored as REG_BINARY in the scrambled layout; no plain text in it.
    const auto [type, stored] = get_raw(L"sz");
    EXPECT_EQ(reg::REG_BINARY, type);
    const auto plain = utf16(L"secret");
    EXPECT_EQ(stored.end(), std::search(stored.begin(), stored.end(), plain.begin(), plain.end()));
    ASSERT_TRUE(internal::unscramble(stored).has_value());

    // Plain values, and scrambled ones with a flipped byte, are refused.
    put_raw(L"plaindw", reg::REG_DWORD, {1, 0, 0, 0});
    put_raw(L"plainbin", reg::REG_BINARY, {'R', 'K', 'S', '1', 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8});
    auto flipped = stored;
    flipped[10] ^= 1;
    put_raw(L"flipped", reg::REG_BINARY, flipped);
    for (const wchar_t* name : {L"plaindw", L"plainbin", L"flipped"}) {
        EXPECT_EQ(13, key.QueryDWORDValue(name, dw)) << name;
        EXPECT_EQ(13, key.QueryStringValue(name, text)) << name;
    }
    EXPECT_EQ(2, key.QueryDWORDValue(L"missing", dw));

    // A plain key cannot read what the scrambled one wrote.
    CRegKey plain_key;
    ASSERT_EQ(0, plain_key.Open(HKEY_LOCAL_MACHINE, kKeyPath, reg::KEY_READ));
    EXPECT_EQ(13, plain_key.QueryDWORDValue(L"dw", dw));
}

}  // namespace
}  // namespace DiraDoro
