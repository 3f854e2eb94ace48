#include "script_host/plugins/registry_plugin.h"

#include <gtest/gtest.h>

#include "platform/config/obfuscated_reg_key.h"
#include "platform/system/test/temp_root.h"
#include "script_host/plugins/test/plugin_calls.h"

namespace Corvane::Script {
namespace {

using namespace test;
namespace reg = rk::sys::reg;

class RegistryPlugin : public ::testing::Test {
protected:
    rk::sys::test::TempRoot root_;
    CRegistryPlugin plugin_{nullptr};
};

// Values written in one view are seen where Windows shows them: the 32-bit
// view of HKLM\SOFTWARE is WOW6432Node.
TEST_F(RegistryPlugin, ViewsAndValueTypes) {
    ASSERT_EQ(call(plugin_, L"CreateReg32", {S(L"HKLM\\SOFTWARE\\Corvane\\T")}), B(true));
    EXPECT_EQ(call(plugin_, L"SetValue", {S(L"text"), S(L"caf\u00e9")}), B(true));
    EXPECT_EQ(call(plugin_, L"SetValue", {S(L"number"), I(0xFFFFFFFF)}), B(true));
    EXPECT_EQ(call(plugin_, L"SetValue", {S(L"flag"), B(true)}), B(true));
    ASSERT_EQ(call(plugin_, L"CreateReg", {S(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\T")}), B(true));
    EXPECT_EQ(call(plugin_, L"SetValue", {S(L"text"), S(L"native")}), B(true));

    const struct {
        const wchar_t* method;
        const wchar_t* key;
        const wchar_t* value;
        ScriptVariable expected;
    } reads[] = {
        {L"OpenReg32", L"HKLM\\SOFTWARE\\Corvane\\T", L"text", S(L"caf\u00e9")},
        {L"OpenReg", L"hklm\\SOFTWARE\\WOW6432Node\\Corvane\\T", L"TEXT", S(L"caf\u00e9")},
        {L"OpenReg64", L"HKLM\\SOFTWARE\\Corvane\\T", L"text", S(L"native")},
        {L"OpenReg", L"HKLM\\SOFTWARE\\Corvane\\T", L"text", S(L"native")},
        {L"OpenReg32", L"HKLM\\SOFTWARE\\Corvane\\T", L"number", I(0xFFFFFFFF)},
        {L"OpenReg32", L"HKLM\\SOFTWARE\\Corvane\\T", L"flag", I(1)},
    };
    for (const auto& r : reads) {
        ASSERT_EQ(call(plugin_, r.method, {S(r.key)}), B(true)) << r.method << " " << r.key;
        EXPECT_EQ(call(plugin_, L"QueryValue", {S(r.value)}), r.expected) << r.method << " " << r.key;
    }

    DiraDoro::CRegKey key;
    ASSERT_EQ(key.Create(reg::HKEY_CURRENT_USER, L"Software\\Corvane"), 0);
    ASSERT_EQ(key.SetQWORDValue(L"big", 0x123456789ABCull), 0);
    ASSERT_EQ(key.SetStringValue(L"expand", L"%TEMP%\\x", reg::REG_EXPAND_SZ), 0);
    ASSERT_EQ(key.SetBinaryValue(L"blob", "ab", 2), 0);
    ASSERT_EQ(call(plugin_, L"OpenReg", {S(L"HKCU\\Software\\Corvane")}), B(true));
    EXPECT_EQ(call(plugin_, L"QueryValue", {S(L"big")}), S(L"20015998343868"));
    EXPECT_EQ(call(plugin_, L"QueryValue", {S(L"expand")}), S(L"%TEMP%\\x"));
    EXPECT_EQ(error_of(plugin_, L"QueryValue", {S(L"blob")}), "QueryValue returned - 13");
}

// The optional boolean goes through the scrambled store of the same key.
TEST_F(RegistryPlugin, ScrambledValues) {
    ASSERT_EQ(call(plugin_, L"CreateReg", {S(L"HKLM\\SOFTWARE\\Corvane\\S")}), B(true));
    EXPECT_EQ(call(plugin_, L"SetValue", {S(L"secret"), S(L"hidden"), B(true)}), B(true));
    EXPECT_EQ(call(plugin_, L"SetValue", {S(L"plain"), S(L"open"), B(false)}), B(true));
    ASSERT_EQ(call(plugin_, L"OpenReg", {S(L"HKLM\\SOFTWARE\\Corvane\\S")}), B(true));
    EXPECT_EQ(call(plugin_, L"QueryValue", {S(L"secret"), B(true)}), S(L"hidden"));
    EXPECT_EQ(call(plugin_, L"QueryValue", {S(L"plain")}), S(L"open"));
    EXPECT_EQ(error_of(plugin_, L"QueryValue", {S(L"plain"), B(true)}), "QueryValue returned - 13");

    DiraDoro::CObfuscatedRegKey scrambled;
    ASSERT_EQ(scrambled.Open(reg::HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\S", reg::KEY_READ), 0);
    std::wstring value;
    ASSERT_EQ(scrambled.QueryStringValue(L"secret", value), 0);
    EXPECT_EQ(value, L"hidden");
}

TEST_F(RegistryPlugin, Failures) {
    EXPECT_EQ(error_of(plugin_, L"QueryValue", {S(L"x")}), "regKey is not initialized");
    EXPECT_EQ(error_of(plugin_, L"SetValue", {S(L"x"), S(L"y")}), "regKey is not initialized");
    const wchar_t* unopenable[] = {L"HKLM\\SOFTWARE\\Missing", L"HKXX\\SOFTWARE", L"", L"SOFTWARE\\Corvane"};
    for (const wchar_t* key : unopenable) {
        EXPECT_EQ(call(plugin_, L"OpenReg", {S(key)}), B(false)) << key;
        EXPECT_EQ(error_of(plugin_, L"QueryValue", {S(L"x")}), "regKey is not initialized") << key;
    }

    ASSERT_EQ(call(plugin_, L"CreateReg64", {S(L"HKLM\\SOFTWARE\\Corvane\\F")}), B(true));
    const struct {
        const wchar_t* method;
        std::vector<ScriptVariable> args;
        const char* error;
    } cases[] = {
        {L"QueryValue", {S(L"")}, "strQueryValue is empty"},
        {L"QueryValue", {S(L"missing")}, "QueryValue returned - 2"},
        {L"QueryValue", {I(1)}, "Incorrect number of parameters or invalid types. Number of parameters passed: 1"},
        {L"QueryValue", {S(L"x"), S(L"y")},
         "Incorrect number of parameters or invalid types. Number of parameters passed: 2"},
        {L"SetValue", {S(L"x")}, "Incorrect number of parameters or invalid types. Number of parameters passed: 1"},
        {L"SetValue", {S(L"x"), ScriptVariable()}, "SetValue takes a string, an integer or a boolean; type passed: 0"},
        {L"OpenReg", {}, "Incorrect number of parameters or invalid types. Number of parameters passed: 0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(error_of(plugin_, c.method, c.args), c.error) << c.method;
    }
    EXPECT_EQ(call(plugin_, L"GetName"), S(L"Registry Plugin"));
}

}  // namespace
}  // namespace Corvane::Script
