// The polling loop against a real HTTPS server on 127.0.0.1, with a fake
// clock and scripted processors; events are seen through the telemetry
// observer.
#include "app/daemon/updater_loop.h"

#include <gtest/gtest.h>

#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/daemon/test/fake_processor.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/http/test/test_server.h"
#include "platform/text/utf.h"
#include "telemetry/rk_updater_module_events.h"

namespace rk::app {
namespace {

using sys::http::test::TestServer;
using test::FakeLoopClock;
using test::FakeProcessor;
using test::ProcessorRecord;
using test::ProcessorScript;

struct Event {
    DWORD id;
    std::wstring detail;
    bool operator==(const Event&) const = default;
};

std::string describe(const std::vector<Event>& events) {
    std::string out;
    for (const auto& e : events) {
        out += std::to_string(e.id) + ":" + text::wide_to_utf8(e.detail) + " ";
    }
    return out;
}

// A manifest server whose answers (status, body) are queued per request; the
// last answer repeats. The fake clock's time of each request is recorded.
class ManifestServer {
public:
    explicit ManifestServer(const FakeLoopClock& clock) : clock_(clock) {
        server_.handle("GET", "/xml/lmrupdate.xml", [this](const httplib::Request&, httplib::Response& response) {
            std::lock_guard lock(mutex_);
            request_times_.push_back(clock_.now);
            const auto answer = answers_.size() > 1 ? answers_.front() : answers_.back();
            if (answers_.size() > 1) {
                answers_.pop_front();
            }
            response.status = answer.first;
            response.set_content(answer.second, "text/xml");
        });
    }
    void answer(std::vector<std::pair<int, std::string>> answers) {
        std::lock_guard lock(mutex_);
        answers_.assign(answers.begin(), answers.end());
    }
    std::vector<std::int64_t> request_times() const {
        std::lock_guard lock(mutex_);
        return request_times_;
    }
    int port() const { return server_.port(); }
    std::wstring url() const { return server_.wide_url("/xml/lmrupdate.xml"); }

private:
    const FakeLoopClock& clock_;
    TestServer server_{TestServer::Mode::kTls};
    mutable std::mutex mutex_;
    std::deque<std::pair<int, std::string>> answers_{{200, "<UPDATER/>"}};
    std::vector<std::int64_t> request_times_;
};

// Recorded among the sleeps when the loop gives memory back.
constexpr std::int64_t kReleased = -1;

class UpdaterLoopTest : public ::testing::Test {
protected:
    UpdaterLoopTest() {
        previous_ = telemetry::SetUpdaterEventObserver([this](DWORD id, const std::wstring& detail) {
            std::lock_guard lock(mutex_);
            events_.push_back({id, detail});
        });
    }
    ~UpdaterLoopTest() override { telemetry::SetUpdaterEventObserver(std::move(previous_)); }

    // A loop over the server whose passes follow `scripts` in turn (the last
    // repeats).
    std::unique_ptr<UpdaterLoop> MakeLoop(std::vector<ProcessorScript> scripts) {
        scripts_ = std::move(scripts);
        auto client = std::make_shared<RkWinHttpClient>();
        client->SetServerPort(static_cast<unsigned>(server_.port()));
        UpdaterLoopParts parts;
        parts.client = client;
        parts.manifest_url = server_.url();
        parts.clock = clock_;
        parts.release_before_sleep = release_before_sleep_;
        parts.make_processor = [this]() -> std::shared_ptr<IRkXMLProcessor> {
            const auto& script = scripts_[std::min(pass_, scripts_.size() - 1)];
            ++pass_;
            return std::make_shared<FakeProcessor>(script, record_);
        };
        return std::make_unique<UpdaterLoop>(std::move(parts));
    }
    std::vector<Event> TakeEvents() {
        std::lock_guard lock(mutex_);
        return std::exchange(events_, {});
    }

    std::shared_ptr<FakeLoopClock> clock_ = std::make_shared<FakeLoopClock>();
    ManifestServer server_{*clock_};
    std::shared_ptr<ProcessorRecord> record_ = std::make_shared<ProcessorRecord>();
    std::vector<ProcessorScript> scripts_;
    std::size_t pass_ = 0;
    std::function<void()> release_before_sleep_;

private:
    std::mutex mutex_;
    std::vector<Event> events_;
    telemetry::UpdaterEventObserver previous_;
};

TEST(UpdaterLoopRules, FetchSuccessNeedsErrorZeroAndA2xxStatus) {
    struct Case {
        DWORD error;
        std::wstring status;
        bool fetched;
    };
    const Case cases[] = {
        {0, L"200", true},     {0, L"299", true},       {0, L"204", true},    {0, L" +201", true},
        {0, L"300", false},    {0, L"199", false},      {0, L"304", false},   {0, L"404", false},
        {0, L"500", false},    {0, L"", false},         {0, L"abc", false},   {0, L"2", false},
        {12002, L"200", false}, {50, L"200", false},    {0, L"200 OK", true}, {0, L"99999999999", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsSuccessfulFetch(c.error, c.status), c.fetched) << c.error << " " << text::wide_to_utf8(c.status);
    }
}

TEST(UpdaterLoopRules, PollingSleepIsMinutesTimesSixtyIn32BitArithmetic) {
    struct Case {
        std::wstring value;
        std::int64_t seconds;
    };
    const Case cases[] = {
        {L"1440", 86400},
        {L"30", 1800},
        {L"1", 60},
        {L"0", 0},
        {L"abc", 0},
        {L"", 0},
        {L"-5", 0},
        {L"  15 minutes", 900},
        {L"35791394", 2147483640},  // the largest product that fits
        {L"35791395", 0},           // wraps below zero: no sleep
        {L"71582789", 44},          // wraps past 2^32 back to a small positive value
        {L"99999999999", 0},        // clamped to 2147483647, times 60 wraps to -60
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PollingSleepSeconds(c.value), c.seconds) << text::wide_to_utf8(c.value);
    }
}

// One loop through the cases: a failed fetch sleeps the interval the last
// good manifest gave (a day before there was one).
TEST_F(UpdaterLoopTest, FetchAttemptsAndSleeps) {
    struct Case {
        std::string name;
        std::vector<std::pair<int, std::string>> answers;
        std::vector<std::int64_t> request_times;
        std::vector<std::int64_t> sleeps;
        bool processed;
    };
    const Case cases[] = {
        {"three failures: two retry waits, then the default interval",
         {{304, ""}, {404, "gone"}, {500, ""}},
         {0, 300, 600},
         {300, 300, kReleased, 86400},
         false},
        // Memory goes back before the polling sleep only.
        {"first attempt", {{200, "<m/>"}}, {0}, {kReleased, 1800}, true},
        {"third attempt", {{500, ""}, {404, ""}, {200, "<m/>"}}, {0, 300, 600}, {300, 300, kReleased, 1800}, true},
        {"three failures keep the last known interval", {{503, ""}}, {0, 300, 600}, {300, 300, kReleased, 1800}, false},
        {"2xx other than 200", {{206, "<m/>"}}, {0}, {kReleased, 1800}, true},
    };
    release_before_sleep_ = [this] { clock_->sleeps.push_back(kReleased); };
    ProcessorScript script;
    script.polling = L"30";
    script.enabled = false;
    auto loop = MakeLoop({script});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clock_->sleeps.clear();
        clock_->now = 0;
        server_.answer(c.answers);
        const auto requests_before = server_.request_times().size();
        record_->contents.clear();
        logging::test::ScopedLogCapture capture;
        loop->RunOnce();

        const auto times = server_.request_times();
        EXPECT_EQ(std::vector<std::int64_t>(times.begin() + static_cast<std::ptrdiff_t>(requests_before), times.end()),
                  c.request_times);
        EXPECT_EQ(clock_->sleeps, c.sleeps);
        EXPECT_EQ(record_->contents.size(), c.processed ? 1u : 0u);
        if (c.processed) {
            EXPECT_EQ(record_->contents[0], L"<m/>");
            EXPECT_TRUE(capture.logger().Contains(L"Response code is: " + std::to_wstring(c.answers.back().first)));
        } else {
            EXPECT_TRUE(capture.logger().Contains(L"Retry count reached coming out of loop"));
        }
        EXPECT_EQ(loop->StoredPollingValue(), pass_ == 0 ? L"1440" : L"30");
        const auto messages = capture.logger().Messages();
        EXPECT_EQ(std::count(messages.begin(), messages.end(), L"Going to wait for 5minutes"),
                  static_cast<std::ptrdiff_t>(c.request_times.size() - 1));
    }
    EXPECT_TRUE(TakeEvents().empty());
}

// The install decision: parse, enabled, heart-beat, retry, first attempt.
TEST_F(UpdaterLoopTest, DecisionTable) {
    struct Case {
        std::string name;
        ProcessorScript script;
        bool first_attempt_pending;
        std::vector<Event> events;
        std::vector<std::wstring> calls_after_polling;  // processor calls after GetPollingTimeInMins
    };
    auto script = [](auto change) {
        ProcessorScript s;
        change(s);
        return s;
    };
    const Case cases[] = {
        {"empty body", script([](auto& s) {
             s.parse_ok = false;
             s.parse_detail = L"emptyresponsecontent";
         }),
         true, {{64, L"emptyresponsecontent"}}, {}},
        {"disabled with heart-beat", script([](auto& s) {
             s.enabled = false;
             s.heart_beat = true;
         }),
         true, {{65, L""}}, {}},
        {"disabled without heart-beat", script([](auto& s) { s.enabled = false; }), true, {}, {}},
        {"enabled, retry, installed", script([](auto&) {}), true,
         {{66, L""}, {67, L"preconditionsuccess"}, {71, L"executesuccesswithexitcode:0"}},
         {L"IsPreConditionSuccess", L"DownloadAndExecuteInstaller", L"DeleteIfNeeded"}},
        {"enabled, retry, install fails", script([](auto& s) {
             s.install_ok = false;
             s.install_detail = L"downloadfailederror:0x800c0005";
         }),
         false, {{66, L""}, {67, L"preconditionsuccess"}, {70, L"downloadfailederror:0x800c0005"}},
         {L"IsPreConditionSuccess", L"DownloadAndExecuteInstaller", L"DeleteIfNeeded"}},
        {"enabled, preconditions fail", script([](auto& s) {
             s.precondition_ok = false;
             s.precondition_detail = L"oscheckfailed";
         }),
         true, {{66, L""}, {68, L"oscheckfailed"}}, {L"IsPreConditionSuccess"}},
        {"enabled, no retry, first attempt pending", script([](auto& s) { s.retry = false; }), true,
         {{66, L""}, {67, L"preconditionsuccess"}, {71, L"executesuccesswithexitcode:0"}},
         {L"IsPreConditionSuccess", L"DownloadAndExecuteInstaller", L"DeleteIfNeeded"}},
        {"enabled, no retry, first attempt done", script([](auto& s) { s.retry = false; }), false, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto loop = MakeLoop({c.script});
        if (!c.first_attempt_pending) {
            // An earlier pass of this process made the first attempt.
            loop->ProcessUpdateManifest(L"<m/>");
            pass_ = 0;
            scripts_ = {c.script};
            TakeEvents();
        }
        record_->calls.clear();
        const std::wstring polling = loop->ProcessUpdateManifest(L"<m/>");
        const auto events = TakeEvents();
        EXPECT_EQ(events, c.events) << describe(events);
        EXPECT_EQ(polling, c.script.parse_ok ? c.script.polling : L"1440");

        std::vector<std::wstring> after;
        const auto& calls = record_->calls;
        const auto polled = std::find(calls.begin(), calls.end(), L"GetPollingTimeInMins");
        if (polled != calls.end()) {
            after.assign(polled + 1, calls.end());
        }
        EXPECT_EQ(after, c.calls_after_polling);
        if (!c.events.empty() && c.events[0].id == 66) {
            EXPECT_FALSE(loop->FirstAttemptPending());
        }
    }
}

TEST_F(UpdaterLoopTest, PollingValueAcrossPassesAndExceptions) {
    struct Case {
        std::string name;
        ProcessorScript script;
        std::wstring stored;
        std::int64_t sleep;
    };
    auto throwing_at = [](std::wstring operation, ProcessorScript s) {
        s.on_call = [operation](const std::wstring& called) {
            if (called == operation) {
                throw std::runtime_error("scripted");
            }
        };
        return s;
    };
    ProcessorScript thirty;
    thirty.polling = L"30";
    ProcessorScript failing = thirty;
    failing.parse_ok = false;
    failing.parse_detail = L"xmlparsingfailed";
    const Case cases[] = {
        {"good manifest", thirty, L"30", 1800},
        {"parse failure after a good one resets to a day", failing, L"1440", 86400},
        {"not a number polls again at once", [] {
             ProcessorScript s;
             s.polling = L"abc";
             return s;
         }(),
         L"abc", 0},
        {"exception while parsing", throwing_at(L"ParseXMLContent", thirty), L"1440", 86400},
        {"exception after the polling value was read", throwing_at(L"IsPreConditionSuccess", thirty), L"30", 1800},
        {"exception in the installer step", throwing_at(L"DownloadAndExecuteInstaller", thirty), L"30", 1800},
    };
    std::vector<ProcessorScript> scripts;
    for (const auto& c : cases) {
        scripts.push_back(c.script);
    }
    auto loop = MakeLoop(scripts);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clock_->sleeps.clear();
        loop->RunOnce();
        EXPECT_EQ(loop->StoredPollingValue(), c.stored);
        EXPECT_EQ(clock_->sleeps, c.sleep > 0 ? std::vector<std::int64_t>{c.sleep} : std::vector<std::int64_t>{});
    }
}

TEST_F(UpdaterLoopTest, PassRunsOnAWorkerThatTheLoopWaitsFor) {
    ProcessorScript script;
    script.polling = L"1";
    std::vector<std::string> timeline;
    std::mutex mutex;
    script.on_call = [&](const std::wstring& operation) {
        if (operation == L"DownloadAndExecuteInstaller") {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            std::lock_guard lock(mutex);
            timeline.push_back("installer done");
        }
    };
    clock_->on_sleep = [&](std::int64_t) {
        std::lock_guard lock(mutex);
        timeline.push_back("sleep");
    };
    auto loop = MakeLoop({script});
    loop->RunOnce();
    EXPECT_EQ(timeline, (std::vector<std::string>{"installer done", "sleep"}));
    ASSERT_FALSE(record_->threads.empty());
    for (const auto& id : record_->threads) {
        EXPECT_NE(id, std::this_thread::get_id());
    }
}

TEST_F(UpdaterLoopTest, RunEndsOnlyThroughAnException) {
    auto loop = MakeLoop({ProcessorScript{}});
    int passes = 0;
    clock_->on_sleep = [&](std::int64_t) {
        if (++passes == 3) {
            throw std::runtime_error("stop");
        }
    };
    EXPECT_THROW(loop->Run(), std::runtime_error);
    EXPECT_EQ(server_.request_times().size(), 3u);
    EXPECT_EQ(clock_->sleeps, (std::vector<std::int64_t>{86400, 86400, 86400}));
}

}  // namespace
}  // namespace rk::app
