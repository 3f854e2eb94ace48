// "wmi": locator, services, enumerator and class objects over a copy of a
// machine's files.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/system/test/temp_root.h"
#include "script_host/plugins/enum_wbem_class_object_scriptable.h"
#include "script_host/plugins/test/plugin_calls.h"
#include "script_host/plugins/wbem_class_object_scriptable.h"
#include "script_host/plugins/wbem_locator_scriptable.h"
#include "script_host/plugins/wbem_services_scriptable.h"

namespace Corvane::Script {
namespace {

using namespace test;

class WmiPlugin : public ::testing::Test {
protected:
    std::shared_ptr<IScriptableObject> services() {
        return call(locator_, L"connectServer", {S(L"root\\cimv2"), S(L"ignored"), I(3)}).GetObject();
    }

    rk::sys::test::ScopedEnv no_root_{"RK_ROOT", std::nullopt};
    CWbemLocator_Scriptable locator_{
        nullptr, std::make_shared<rk::sys::wmi::WbemLocator>(rk::sys::wmi::folder_machine_source(
                     std::filesystem::path(RK_SOURCE_DIR) / "platform/system/wmi/testdata/machine", "x86_64"))};
};

TEST_F(WmiPlugin, QueryWalk) {
    const auto wmi = services();
    ASSERT_NE(wmi, nullptr);
    const auto results =
        call(*wmi, L"execQuery", {S(L"SELECT DeviceID, NumberOfCores, Name FROM Win32_Processor")}).GetObject();
    ASSERT_NE(results, nullptr);
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<std::wstring> ids;
        while (const auto cpu = call(*results, L"next").GetObject()) {
            ids.push_back(call(*cpu, L"Get", {S(L"DeviceID")}).GetString());
            EXPECT_EQ(call(*cpu, L"Get", {S(L"numberofcores")}), I(2));
            EXPECT_EQ(error_of(*cpu, L"Get", {S(L"MaxClockSpeed")}), "No such property: 'MaxClockSpeed' (0x80041002)");
        }
        EXPECT_EQ(ids, (std::vector<std::wstring>{L"CPU0", L"CPU1"}));
        call(*results, L"reset");
    }
    const auto computer = call(*call(*wmi, L"execQuery", {S(L"SELECT * FROM Win32_ComputerSystem")}).GetObject(), L"next")
                              .GetObject();
    ASSERT_NE(computer, nullptr);
    EXPECT_TRUE(call(*computer, L"Get", {S(L"SystemFamily")}).IsEmpty());  // null
    EXPECT_EQ(call(*computer, L"Get", {S(L"TotalPhysicalMemory")}), S(L"16694312960"));
}

TEST_F(WmiPlugin, Failures) {
    EXPECT_EQ(error_of(locator_, L"connectServer", {S(L"root\\default")}),
              "Failed to connect to the WMI server using root\\default: Invalid namespace");
    EXPECT_EQ(error_of(locator_, L"connectServer", {}),
              "Incorrect number of parameters or invalid types. Number of parameters passed: 0");
    const auto wmi = services();
    const struct {
        const wchar_t* query;
        const char* error;
    } queries[] = {
        {L"SELECT * FROM Win32_Process", "Failed to execute the WMI query 'SELECT * FROM Win32_Process': Invalid class"},
        {L"SELECT * FROM", "Failed to execute the WMI query 'SELECT * FROM': Invalid query"},
        {L"SELECT Nope FROM Win32_BIOS", "Failed to execute the WMI query 'SELECT Nope FROM Win32_BIOS': Invalid query"},
        {L"DELETE FROM Win32_BIOS", "Failed to execute the WMI query 'DELETE FROM Win32_BIOS': Invalid query"},
    };
    for (const auto& q : queries) {
        EXPECT_EQ(error_of(*wmi, L"execQuery", {S(q.query)}), q.error);
    }
    // Objects without their WMI side.
    CWbemServices_Scriptable no_services(nullptr, nullptr);
    EXPECT_EQ(error_of(no_services, L"execQuery", {S(L"SELECT * FROM Win32_BIOS")}),
              "Invalid State: Serice object is [null]");
    CEnumWbemClassObject_Scriptable no_enum(nullptr, nullptr);
    EXPECT_EQ(error_of(no_enum, L"next"), "Invalid State: Enum object is [null]");
    EXPECT_EQ(error_of(no_enum, L"reset"), "Invalid State: Enum object is [null]");
    CWbemClassObject_Scriptable no_object(nullptr, nullptr);
    EXPECT_EQ(error_of(no_object, L"Get", {S(L"Name")}), "Invalid State: Class object is [null]");
}

}  // namespace
}  // namespace Corvane::Script
