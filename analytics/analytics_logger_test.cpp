#include "analytics/analytics_logger_helper.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/config/reg_key.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/test/read_file.h"
#include "platform/system/test/temp_root.h"

namespace Halden::Analytics {
namespace {

namespace fs = std::filesystem;
using rk::logging::test::ScopedLogCapture;
using rk::sys::test::read_file;

class AnalyticsLogger : public ::testing::Test {
protected:
    ~AnalyticsLogger() override { CAnalyticsLoggerHelper::CloseStreams(); }

    // The switch: absent when `value` is null; REG_SZ when `as_text`.
    void set_switch(const rk::DWORD* value, bool as_text = false) {
        DiraDoro::CRegKey key;
        ASSERT_EQ(key.Create(rk::sys::reg::HKEY_LOCAL_MACHINE, L"Software\\Corvane\\RkClientAnalytics"), 0);
        key.DeleteValue(L"enableLegacyAutomationLogs");
        if (value != nullptr && as_text) {
            key.SetStringValue(L"enableLegacyAutomationLogs", L"1");
        } else if (value != nullptr) {
            key.SetDWORDValue(L"enableLegacyAutomationLogs", *value);
        }
    }

    rk::sys::test::TempRoot root_;
    fs::path folder_ = root_.path() / "var/lib/Corvane/ClientAnalytics";
    ScopedLogCapture capture_;
};

TEST_F(AnalyticsLogger, SwitchAbsentZeroOrOfTheWrongTypeWritesNothing) {
    CAnalyticsLoggerHelper no_key;
    EXPECT_FALSE(no_key.IsEnabled());
    EXPECT_TRUE(capture_.logger().Contains(L"Unable to open regKey Software\\Corvane\\RkClientAnalytics"));
    const rk::DWORD zero = 0;
    const rk::DWORD one = 1;
    const struct {
        const rk::DWORD* value;
        bool as_text;
    } off[] = {{nullptr, false}, {&zero, false}, {&one, true}};
    for (const auto& c : off) {
        set_switch(c.value, c.as_text);
        CAnalyticsLoggerHelper helper;
        EXPECT_FALSE(helper.IsEnabled());
        helper.WriteRawTrack(L"id", L"payload");
        helper.WriteTransports(L"id", L"RESTclient", true, L"payload");
        helper.WriteAutomationError(L"id", L"payload", L"error");
    }
    EXPECT_FALSE(fs::exists(root_.path() / "var/lib/Corvane"));
    EXPECT_FALSE(capture_.logger().Contains(L"LegacyAutomationLogging is enabled"));
}

TEST_F(AnalyticsLogger, EntriesAreOneJsonObjectPerLine) {
    const rk::DWORD on = 7;
    set_switch(&on);
    CAnalyticsLoggerHelper helper;
    ASSERT_TRUE(helper.IsEnabled());
    EXPECT_TRUE(capture_.logger().Contains(L"LegacyAutomationLogging is enabled"));
    helper.WriteRawTrack(L"mBusHandler", L"{\"a\":\"1\"}");
    helper.WriteRawTrack(L"second", L"x");
    helper.WriteTransports(L"id", L"RESTclient", false, L"p");
    helper.WriteTransports(L"id", L"RESTclient", true, L"p");
    helper.WriteAutomationError(L"id", L"p", L"TypeError: boom");
    helper.Write(3, {{L"a", L"b"}});

    const std::string stamp = R"("timeStamp":"\d{4}-\d\d-\d\d \d\d:\d\d:\d\dZ")";
    EXPECT_TRUE(std::regex_match(read_file(folder_ / "RawTrackLog.txt"),
                                 std::regex(R"(\{"data":"\{\\"a\\":\\"1\\"\}",)" + stamp +
                                            R"(,"uniqueId":"mBusHandler"\}\n\{"data":"x",)" + stamp +
                                            R"(,"uniqueId":"second"\}\n)")))
        << read_file(folder_ / "RawTrackLog.txt");
    EXPECT_TRUE(std::regex_match(read_file(folder_ / "TransportsLog.txt"),
                                 std::regex(R"(\{"data":"p","status":"Fail",)" + stamp +
                                            R"(,"transports":"RESTclient","uniqueId":"id"\}\n)"
                                            R"(\{"data":"p","status":"Success",)" + stamp +
                                            R"(,"transports":"RESTclient","uniqueId":"id"\}\n)")));
    EXPECT_TRUE(std::regex_match(read_file(folder_ / "ErrorLog.txt"),
                                 std::regex(R"(\{"data":"p","error":"TypeError: boom",)" + stamp +
                                            R"(,"uniqueId":"id"\}\n)")));
    EXPECT_TRUE(capture_.logger().Contains(L"CreateDirectory for "));
    EXPECT_TRUE(capture_.logger().Contains(L"Unknown LogType: 3"));
}

// Nothing is written through a link: one in place of the folder, or planted
// at a log file, is removed and a real one made; once the folder was
// checked, a link swapped in for it (the real folder moved away) is never
// followed by files opened later.
TEST_F(AnalyticsLogger, LinksAreRemovedOrNotFollowed) {
    const fs::path elsewhere = root_.path() / "elsewhere";
    fs::create_directories(elsewhere);
    fs::create_directories(folder_.parent_path());
    fs::create_directory_symlink(elsewhere, folder_);
    const rk::DWORD on = 1;
    set_switch(&on);
    CAnalyticsLoggerHelper().WriteRawTrack(L"id", L"x");
    EXPECT_FALSE(fs::is_symlink(folder_));
    EXPECT_TRUE(fs::is_empty(elsewhere));

    CAnalyticsLoggerHelper::CloseStreams();
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    std::ofstream(elsewhere / "target.txt") << "keep";
    fs::create_symlink(elsewhere / "target.txt", folder_ / "RawTrackLog.txt");
    CAnalyticsLoggerHelper helper;
    helper.WriteRawTrack(L"first", L"x");
    EXPECT_FALSE(fs::is_symlink(folder_ / "RawTrackLog.txt"));
    EXPECT_NE(read_file(folder_ / "RawTrackLog.txt").find("\"uniqueId\":\"first\""), std::string::npos);

    const fs::path moved = root_.path() / "moved";
    fs::rename(folder_, moved);
    fs::create_directory_symlink(elsewhere, folder_);
    helper.WriteTransports(L"second", L"RESTclient", true, L"x");
    helper.WriteRawTrack(L"third", L"x");
    EXPECT_EQ(read_file(elsewhere / "target.txt"), "keep");
    EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere), fs::directory_iterator()), 1);
    EXPECT_NE(read_file(moved / "TransportsLog.txt").find("\"uniqueId\":\"second\""), std::string::npos);
    EXPECT_NE(read_file(moved / "RawTrackLog.txt").find("\"uniqueId\":\"third\""), std::string::npos);
}

TEST(AnalyticsLoggerText, StatusAndStreamStates) {
    ScopedLogCapture capture;
    const std::pair<int, const wchar_t*> statuses[] = {{0, L"Fail"}, {1, L"Success"}, {2, L"Unprocessed"}, {3, L"Error"}, {-1, L"Error"}};
    for (const auto& [status, text] : statuses) {
        EXPECT_EQ(CAnalyticsLoggerHelper::StatusText(status), text);
    }
    EXPECT_TRUE(capture.logger().Contains(L"Unknown record status: -1"));

    std::ostringstream out;
    LogStream closed{false, &out};
    LogStream failed{true, &out};
    EXPECT_FALSE(CAnalyticsLogger::Log(nullptr, L"x"));
    EXPECT_FALSE(CAnalyticsLogger::Log(&closed, L"x"));
    out.setstate(std::ios::badbit);
    EXPECT_FALSE(CAnalyticsLogger::Log(&failed, L"x"));
    EXPECT_EQ(capture.logger().Messages(),
              (std::vector<std::wstring>{L"Unknown record status: 3", L"Unknown record status: -1",
                                         L"logStream is null. Not going to log", L"LogStream is not open",
                                         L"LogStream is not good"}));
}

}  // namespace
}  // namespace Halden::Analytics
