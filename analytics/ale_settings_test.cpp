#include "analytics/ale_settings.h"

#include <gtest/gtest.h>

#include "analytics/ale_status.h"
#include "platform/config/reg_key.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "script_host/signature_check.h"

namespace Halden::Analytics {
namespace {

using rk::logging::test::ScopedLogCapture;

TEST(AleStatus, Texts) {
    const std::pair<ALE_STATUS, const wchar_t*> cases[] = {
        {0x00000000, L"ALE_STATUS::SUCCESS"},           {0x80000001, L"ALE_STATUS::NOT_SUPPORTED"},
        {0x80000002, L"ALE_STATUS::UNSUCCESSFUL"},      {0x80000003, L"ALE_STATUS::BUFFER_TOO_SMALL"},
        {0x80000004, L"ALE_STATUS::NOT_IMPLEMENTED"},   {0x80000005, L"ALE_STATUS::INVALID_BUFFER_SIZE"},
        {0x80000006, L"ALE_STATUS::DATA_ERROR"},        {0x80000007, L"ALE_STATUS::INVALID_HANDLE"},
        {0x80000008, L"ALE_STATUS::INVALID_PARAMETER"}, {0x80000009, L"ALE_STATUS::NO_MEMORY"},
        {0x8000000A, L"ALE_STATUS::NOT_FOUND"},         {0x8000000D, L"ALE_STATUS::TIMEOUT"},
        {0x8000000F, L"ALE_STATUS::UNKNOWN_EXCEPTION"}, {0x800000FF, L"ALE_STATUS::INVALID_STATE"},
        {0x8000000B, L"ALE_STATUS::UNKNOWN"},           {0x8000000E, L"ALE_STATUS::UNKNOWN"},
        {0x00000001, L"ALE_STATUS::UNKNOWN"},           {0xFFFFFFFF, L"ALE_STATUS::UNKNOWN"},
    };
    for (const auto& [status, text] : cases) {
        EXPECT_STREQ(AleStatusText(status), text) << std::hex << status;
    }
}

TEST(AleSettings, InstanceOverDefaultsWithTheirLines) {
    rk::sys::test::TempRoot root;
    ScopedLogCapture capture;
    CALESettings settings;
    const std::pair<const wchar_t*, const wchar_t*> defaults[] = {
        {L"Analytics.Script.InitializeFrom", L"content"},
        {L"Analytics.Script.Bootstrap.Name", L"ca_bootstrap.js"},
        {L"Analytics.Base.Path", L"$(FOLDERID_ProgramFilesCommon)\\Corvane\\ClientAnalytics"},
        {L"Analytics.Base.RegKey", L"HKLM\\SOFTWARE\\Corvane\\RkClientAnalytics"},
        {L"Analytics.Script.Folder.Name", L"Scripts"},
        {L"Analytics.Script.EntryPoint.Start", L"ca_engine_start"},
        {L"Analytics.Script.EntryPoint.QueueHandler", L"ca_engine_queuehandler"},
        {L"Analytics.ScriptHost.Terminate.Delay", L"0"},
        {L"Analytics.Integration.Type", L"static"},
        {L"Analytics.ScriptHost.Type", L"default"},
        {L"No.Such.Setting", L""},
    };
    for (const auto& [name, value] : defaults) {
        EXPECT_EQ(settings.GetSetting(name), value) << rk::text::wide_to_utf8(name);
    }
    settings.AddSetting(L"Analytics.Script.Folder.Name", L"Mine");
    settings.AddSetting(L"Analytics.Script.Folder.Name", L"Other");
    settings.AddSetting(L"", L"x");
    settings.RemoveSetting(L"Absent");
    settings.RemoveSetting(L"");
    EXPECT_EQ(settings.GetSetting(L"Analytics.Script.Folder.Name"), L"Other");
    EXPECT_EQ(settings.EffectiveSettings().at(L"Analytics.Script.Folder.Name"), L"Other");
    EXPECT_EQ(settings.EffectiveSettings().at(L"Analytics.Integration.Type"), L"static");
    settings.RemoveSetting(L"Analytics.Script.Folder.Name");
    EXPECT_EQ(settings.GetSetting(L"Analytics.Script.Folder.Name"), L"Scripts");
    EXPECT_EQ(capture.logger().Messages(),
              (std::vector<std::wstring>{L"Overriding setting 'Analytics.Script.Folder.Name': value 'Mine' will become 'Other'",
                                         L"Invalid (empty) setting name; ignored", L"No such setting: 'Absent'; ignored",
                                         L"Invalid (empty) setting name; ignored"}));
    // The script content defaults to the embedded bootstrap; an instance's own wins everywhere.
    EXPECT_NE(settings.EffectiveSettings().at(L"Analytics.Script.Content").find(L"function ca_engine_start()"),
              std::wstring::npos);
    settings.AddSetting(L"Analytics.Script.Content", L"var mine;");
    EXPECT_EQ(settings.GetSetting(L"Analytics.Script.Content"), L"var mine;");
    EXPECT_EQ(settings.EffectiveSettings().at(L"Analytics.Script.Content"), L"var mine;");

    DiraDoro::CRegKey key;
    ASSERT_EQ(key.Create(rk::sys::reg::HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\RkClientAnalytics"), 0);
    ASSERT_EQ(key.SetStringValue(L"ScriptEnvironment", L"jsrt"), 0);
    EXPECT_EQ(CALESettings().GetSetting(L"Analytics.ScriptHost.Type"), L"jsrt");
    ASSERT_EQ(key.SetStringValue(L"ScriptEnvironment", std::wstring(261, L'x').c_str()), 0);
    EXPECT_EQ(CALESettings().GetSetting(L"Analytics.ScriptHost.Type"), L"default");
}

TEST(AleSettings, EmbeddedBootstrapIsSignedForThisProfile) {
    const std::string bootstrap = rk::text::wide_to_utf8(CALESettings().GetSetting(L"Analytics.Script.Content"));
    EXPECT_NE(bootstrap.find("function ca_engine_start()"), std::string::npos);
    EXPECT_TRUE(SignatureCheck::VerifySignature(reinterpret_cast<const std::uint8_t*>(bootstrap.data()), bootstrap.size()));
    std::string tampered = bootstrap;
    tampered[tampered.find("ca_engine_start")] = 'x';
    EXPECT_FALSE(SignatureCheck::VerifySignature(reinterpret_cast<const std::uint8_t*>(tampered.data()), tampered.size()));
    EXPECT_EQ(CALESettings::Properties().at(L"Analytics.SDK.Version"), L"1,0,123,0");
    EXPECT_EQ(CALESettings::Properties().at(L"Analytics.Host.Name"), L"rk_analytics_test");
}

}  // namespace
}  // namespace Halden::Analytics
