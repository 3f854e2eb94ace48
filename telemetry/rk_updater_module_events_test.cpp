#include "telemetry/rk_updater_module_events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "analytics/rk_ale_engine_controller.h"
#include "analytics/sdk_connector.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/http/test/test_server.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "telemetry/rk_analytics_tracker.h"
#include "telemetry/rk_events_tracker.h"
#include "telemetry/rk_key_value_data_parser.h"
#include "telemetry/updater_events.h"
#include "xml_updater/http_transaction.h"

namespace rk::telemetry {
namespace {

using Halden::Analytics::Record;
using logging::test::ScopedLogCapture;

// Every event starts a real engine (its content update goes to a port where
// nothing listens, the stop does not wait); the records are seen as they go
// to their transport.
class TelemetryTest : public ::testing::Test {
protected:
    TelemetryTest() {
        Halden::Analytics::EngineOptions options;
        options.content_update_url = L"https://127.0.0.1:" + std::to_wstring([] {
            sys::http::test::SilentListener listener;
            return listener.port();
        }()) + L"/update_product.xml";
        options.terminate_delay = L"0";
        Halden::Analytics::CRkALEEngineController::SetEngineOptions(options);
        Halden::Analytics::SetRecordObserver([this](const Record& record) {
            transports_.push_back(record.at(L"__transport.name"));
            Record fields;
            for (const auto& [name, value] : record) {
                if (!name.starts_with(L"__")) {
                    fields.emplace(name, value);
                }
            }
            records_.push_back(std::move(fields));
        });
    }
    ~TelemetryTest() override {
        Halden::Analytics::SetRecordObserver({});
        Halden::Analytics::CRkALEEngineController::SetEngineOptions({});
    }

    void write_state(const std::string& text) {
        const auto file = root_.path() / "var/lib/Corvane Lumora/lbstate.ini";
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }

    sys::test::TempRoot root_;
    std::vector<Record> records_;
    std::vector<std::wstring> transports_;
};

std::size_t thread_count() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        ++n;
    }
    return n;
}

Record updater_record(const std::wstring& name, const std::wstring& action, const wchar_t* hit_label) {
    Record r{{L"UniqueIdentifier", name}, {L"Event.Category", L"Life"}, {L"Event.Action", action},
             {L"Event.Label", L"RkUpdaterModule"}, {L"Tracker.Type", L"event"}, {L"hit_result", L"clean"},
             {L"hit_source", L"web"}};
    if (hit_label != nullptr) {
        r[L"Hit.Label.1"] = hit_label;
    }
    return r;
}

TEST_F(TelemetryTest, EveryUpdaterEventBecomesItsRecord) {
    write_state("[Brightscan]\nInstallSource=web\n[LastScanResult]\nScanStatus=clean\n");
    const struct {
        DWORD id;
        std::wstring detail;
        std::vector<Record> records;  // empty: nothing sent, TrackEvent fails
    } cases[] = {
        {64, L"xmlparsingfailed",
         {updater_record(L"lumora_rkupdater_parsexml_failed", L"ParseXML Failed", L"errcode:xmlparsingfailed")}},
        {65, L"", {updater_record(L"lumora_rkupdater_heartbeat", L"RkUpdater Heartbeat", nullptr)}},
        // 66, 67 and 71 as the collector sees them: RkUpdaterModuleDaemon's pass.
        {68, L"preconditionfailed",
         {updater_record(L"lumora_rkupdater_precond_check_failed", L"Precondition Check Failed",
                         L"errcode:preconditionfailed")}},
        {69, L"x", {}},
        {70, L"downloadfailed",
         {updater_record(L"lumora_rkupdater_dwnldexecute_failed", L"DownloadExecute Failed",
                         L"errcode:downloadfailed")}},
        {71, L"executesuccesswithexitcode:0&x=%",
         {updater_record(L"lumora_rkupdater_dwnldexecute_success", L"DownloadExecute Success",
                         L"errcode:executesuccesswithexitcode:0")}},
        {63, L"", {}},
        {0, L"x", {}},
        {97, L"", {}},
        {0x80000040, L"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        records_.clear();
        ScopedLogCapture capture;
        SendRkUpdaterModuleEvents(c.id, c.detail);
        EXPECT_EQ(records_, c.records);
        const std::wstring outcome = c.records.empty() ? L"TrackEvent failed to track event: " + std::to_wstring(c.id)
                                                       : L"TrackEvent completed for event: " + std::to_wstring(c.id) + L"s";
        EXPECT_TRUE(capture.logger().Contains(outcome));
        EXPECT_EQ(capture.logger().Contains(L"Data formed to track is: "), !c.detail.empty());
        if (!c.detail.empty()) {
            EXPECT_TRUE(capture.logger().Contains(L"Data formed to track is: errcode=errcode:" + c.detail));
        }
    }
}

TEST_F(TelemetryTest, MissingStateValuesAreUnknown) {
    ScopedLogCapture capture;
    SendRkUpdaterModuleEvents(kEventPrecondCheckFailed, L"preconditionfailed");
    ASSERT_EQ(records_.size(), 1u);
    EXPECT_EQ(records_[0].at(L"hit_result"), L"unknown");
    EXPECT_EQ(records_[0].at(L"hit_source"), L"unknown");
    EXPECT_FALSE(capture.logger().Contains(L"Successfully read the scan status"));
    write_state("[LastScanResult]\nScanStatus=infected\n");
    SendRkUpdaterModuleEvents(kEventPrecondCheckFailed, L"preconditionfailed");
    EXPECT_EQ(records_[1].at(L"hit_result"), L"infected");
    EXPECT_TRUE(capture.logger().Contains(L"Successfully read the scan status"));
    EXPECT_FALSE(capture.logger().Contains(L"Successfully read the InstallSource for Life LI and Upgrade events"));
}

TEST_F(TelemetryTest, EachEventRunsItsOwnEngineAndLeavesNoThread) {
    SendRkUpdaterModuleEvents(kEventPrecondCheckStarted, L"");  // process-wide threads start once
    const std::size_t threads = thread_count();
    ScopedLogCapture capture;
    transports_.clear();
    SendRkUpdaterModuleEvents(kEventPrecondCheckSuccess, L"preconditionsuccess");
    SendRkUpdaterModuleEvents(kEventDownloadExecuteSuccess, L"executesuccesswithexitcode:0");
    EXPECT_EQ(transports_, (std::vector<std::wstring>{L"InProcess v1", L"InProcess v1"}));
    for (const wchar_t* line : {L"Initializing and Starting ALEEngine", L"Created instance for controller",
                                L"ALE Engine Started successfully", L"Stopping and Uninitializing the ALEEngine",
                                L"ALE Engine stopped successfully", L"ALE Engine Unitialization successfully"}) {
        const auto messages = capture.logger().Messages();
        EXPECT_EQ(std::count(messages.begin(), messages.end(), line), 2) << text::wide_to_utf8(line);
    }
    EXPECT_EQ(thread_count(), threads);
}

TEST_F(TelemetryTest, AContentServerThatNeverAnswersHoldsTheEventForTheDelayOnly) {
    sys::http::test::TestServer server(sys::http::test::TestServer::Mode::kTls);
    server.handle("GET", "/update_product.xml", [&](const httplib::Request&, httplib::Response& response) {
        server.stall(std::chrono::seconds(30));
        response.status = 304;
    });
    Halden::Analytics::EngineOptions options;
    options.content_update_url = server.wide_url("/update_product.xml");
    options.terminate_delay = L"1";
    Halden::Analytics::CRkALEEngineController::SetEngineOptions(options);
    XMLUpdater::v2::NHttp::SetTrustAnchors(sys::http::test::dev_root_ca());
    const auto start = std::chrono::steady_clock::now();
    SendRkUpdaterModuleEvents(kEventPrecondCheckStarted, L"");
    const auto elapsed = std::chrono::steady_clock::now() - start;
    XMLUpdater::v2::NHttp::SetTrustAnchors({});
    EXPECT_EQ(server.request_count(), 1u);
    EXPECT_LT(elapsed, std::chrono::milliseconds(2500));
    EXPECT_EQ(records_.size(), 1u);
}

// Tracking data that stands for any group's parameter object.
class FixedParams final : public RkTrackingParams {
public:
    explicit FixedParams(std::wstring data, bool ok = true) : data_(std::move(data)), ok_(ok) {}
    bool GetTrackingData(std::wstring& data) override {
        data = data_;
        return ok_;
    }

private:
    std::wstring data_;
    bool ok_;
};

TEST_F(TelemetryTest, TrackingDataChecksAndCategoryDispatch) {
    const struct {
        std::wstring data;
        bool ok;
        bool sent;
        const wchar_t* line;
    } cases[] = {
        {L"", false, false, L"RkAnalyticsTracker::SendTrackingData - Failed to get tracking data"},
        {L"ec", true, false, L"RkAnalyticsTracker::SendTrackingData ParseByAmpersand failed."},
        {L"&&", true, false, L"RkAnalyticsTracker::SendTrackingData KeyValuePairList is NULL."},
        {L"ea=a&el=b", true, false, L"RkAnalyticsTracker::SendTrackingData GetValue for Event Category failed."},
        {L"ec=Life&el=b", true, false, L"RkAnalyticsTracker::SendTrackingData GetValue for Event Action failed."},
        {L"ec=Life&ea=RkUpdaterModule", true, false,
         L"RkAnalyticsTracker::SendTrackingData GetValue for Event Label failed."},
        {L"ec=Life&ea=RkUpdaterModule&el=Nope", true, false, L"No event label found for RkUpdater Module"},
        {L"ec=LIFE&ea=RkUpdaterModule&el=RkUpdaterHeartBeat", true, true, nullptr},
        {L"ec=li&ea=RkUpdaterModule&el=RkUpdaterHeartBeat", true, true, nullptr},
        {L"ec=Lifetime&ea=RkUpdaterModule&el=RkUpdaterHeartBeat", true, true, nullptr},
        {L"ec=Scan&ea=RkUpdaterModule&el=RkUpdaterHeartBeat", true, false, nullptr},
        {L"ec=Life&ea=Install&el=RkUpdaterHeartBeat", true, false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        records_.clear();
        ScopedLogCapture capture;
        FixedParams params(c.data, c.ok);
        EXPECT_EQ(RkAnalyticsTracker().SendTrackingData(&params), c.sent);
        EXPECT_EQ(records_.size(), c.sent ? 1u : 0u);
        EXPECT_TRUE(capture.logger().Contains(L"RkAnalyticsTracker::SendTrackingData - start"));
        if (c.line != nullptr) {
            EXPECT_TRUE(capture.logger().Contains(c.line));
        }
    }
    ScopedLogCapture capture;
    EXPECT_FALSE(RkAnalyticsTracker().SendTrackingData(nullptr));
    EXPECT_TRUE(capture.logger().Contains(L"RkAnalyticsTracker::SendTrackingData trackingParams is NULL"));
}

TEST(RkEventsTracker, DispatchContract) {
    RkEventsTracker tracker;
    DISPID id = -1;
    EXPECT_EQ(tracker.GetIDsOfNames(L"TrackEvent", id), 0);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(tracker.GetIDsOfNames(L"trackevent", id), kDispEUnknownName);
    Variant result;
    const Variant two[] = {Variant::I4(65), Variant::Bstr(L"")};
    EXPECT_EQ(tracker.Invoke(1, two, result), kDispEMemberNotFound);
    EXPECT_EQ(tracker.Invoke(0, std::span(two, 1), result), kDispEBadParamCount);
    const struct {
        Variant id;
        Variant payload;
    } refused[] = {
        {Variant::Bstr(L"65"), Variant::Bstr(L"")},  // identifier not VT_I4
        {Variant::I4(0), Variant::Bstr(L"")},
        {Variant::I4(97), Variant::Bstr(L"")},
        {Variant::I4(-65), Variant::Bstr(L"")},
        {Variant::I4(65), Variant()},           // payload not VT_BSTR
        {Variant::I4(65), Variant::I4(1)},
        {Variant::I4(14), Variant::Bstr(L"")},  // a scan-result event of the product's interface
        {Variant::I4(20), Variant::Bstr(L"")},
    };
    for (const auto& c : refused) {
        const Variant args[] = {c.id, c.payload};
        ASSERT_EQ(tracker.Invoke(0, args, result), 0);
        ASSERT_EQ(result.vt(), VarType::kBool);
        EXPECT_FALSE(result.boolVal());
    }
    EXPECT_EQ(event_group_of(24), EventGroup::kHeartbeat);
    EXPECT_EQ(event_group_of(2), EventGroup::kNone);
    EXPECT_EQ(event_group_of(96), EventGroup::kUserInteract);
    EXPECT_EQ(event_group_of(88), EventGroup::kInstallation);
}

TEST(CRkKeyValueDataParser, EncodedValuesRoundTrip) {
    const std::wstring value = L"a&b=c%d e";
    KeyValueList pairs;
    ASSERT_TRUE(CRkKeyValueDataParser::ParseByAmpersand(
        L"k=" + CRkKeyValueDataParser::EncodeValue(value) + L"&&e=&k=second&z=%zz%4", pairs));
    EXPECT_EQ(pairs, (KeyValueList{{L"k", value}, {L"e", L""}, {L"z", L"%zz%4"}}));
    KeyValueList partial;
    EXPECT_FALSE(CRkKeyValueDataParser::Parse(L"a=1;=2;b=3", L';', partial));
    EXPECT_EQ(partial, (KeyValueList{{L"a", L"1"}}));
}

}  // namespace
}  // namespace rk::telemetry
