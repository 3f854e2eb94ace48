#include "telemetry/rk_updater_module_events.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/logging/test/scoped_process_logger.h"
#include "telemetry/updater_events.h"

namespace rk::telemetry {
namespace {

using logging::test::ScopedLogCapture;

struct ObservedEvent {
    DWORD id;
    std::wstring detail;
    bool operator==(const ObservedEvent&) const = default;
};

class ObserverScope {
public:
    ObserverScope() {
        previous_ = SetUpdaterEventObserver([this](DWORD id, const std::wstring& detail) {
            events.push_back({id, detail});
        });
    }
    ~ObserverScope() { SetUpdaterEventObserver(std::move(previous_)); }
    std::vector<ObservedEvent> events;

private:
    UpdaterEventObserver previous_;
};

struct EventCase {
    DWORD id;
    std::wstring detail;
    std::wstring data_line;  // empty: no "Data formed" line
    std::wstring outcome_line;
};

TEST(SendRkUpdaterModuleEvents, PayloadLinesAndObserver) {
    const EventCase cases[] = {
        {kEventPrecondCheckStarted, L"", L"", L"TrackEvent completed for event: 66s"},
        {kEventHeartBeat, L"", L"", L"TrackEvent completed for event: 65s"},
        {kEventPrecondCheckFailed, L"preconditionfailed", L"Data formed to track is: errcode=errcode:preconditionfailed",
         L"TrackEvent completed for event: 68s"},
        {kEventParseXmlFailed, L"xmlparsingfailed", L"Data formed to track is: errcode=errcode:xmlparsingfailed",
         L"TrackEvent completed for event: 64s"},
        {kEventDownloadExecuteSuccess, L"executesuccesswithexitcode:3",
         L"Data formed to track is: errcode=errcode:executesuccesswithexitcode:3",
         L"TrackEvent completed for event: 71s"},
        {0, L"x", L"Data formed to track is: errcode=errcode:x", L"TrackEvent failed to track event: 0"},
        {97, L"", L"", L"TrackEvent failed to track event: 97"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        ScopedLogCapture capture;
        ObserverScope observer;
        SendRkUpdaterModuleEvents(c.id, c.detail);

        EXPECT_EQ(observer.events, (std::vector<ObservedEvent>{{c.id, c.detail}}));
        const auto messages = capture.logger().Messages();
        std::vector<std::wstring> expected;
        if (!c.data_line.empty()) {
            expected.push_back(c.data_line);
        }
        expected.push_back(L"TrackEvent called to track event: " + std::to_wstring(c.id) + L"s");
        expected.push_back(c.outcome_line);
        EXPECT_EQ(messages, expected);
    }
}

TEST(SendRkUpdaterModuleEvents, FailureLineIsLevelOneSuccessLevelSix) {
    ScopedLogCapture capture;
    EXPECT_EQ(TrackEvent(200, L""), 1u);
    EXPECT_EQ(TrackEvent(kEventHeartBeat, L""), 0u);
    const auto entries = capture.logger().Entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[1].level, log_level::kNormal);
    EXPECT_EQ(entries[1].function, L"TrackEvents");
    EXPECT_EQ(entries[3].level, log_level::kProgress);
}

}  // namespace
}  // namespace rk::telemetry
