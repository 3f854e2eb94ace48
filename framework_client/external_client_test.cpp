// The external client against the real rk-framework-service on a private
// dbus-daemon: every operation, incoming messages, a missing service, a
// service killed and restarted, and stopping with queued work.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

#include "framework_client/external_client_impl.h"
#include "framework_client/framework_error.h"
#include "framework_client/test/framework_service_process.h"
#include "platform/logging/test/scoped_process_logger.h"

namespace ctp {
namespace {

using namespace std::chrono_literals;
using detail::external_client_impl;

constexpr std::int32_t kServerUnavailable = static_cast<std::int32_t>(0x800706BA);

template <typename Pred>
bool eventually(Pred pred, std::chrono::milliseconds limit = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

std::size_t count(const rk::logging::test::CapturingLogger& logger, std::wstring_view text) {
    std::size_t n = 0;
    for (const auto& m : logger.Messages()) {
        n += m == text ? 1 : 0;
    }
    return n;
}

class ExternalClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus_.started()) {
            GTEST_SKIP() << bus_.why_not();
        }
    }
    std::unique_ptr<external_client_impl> make_client(std::chrono::milliseconds retry = 50ms) {
        auto client = std::make_unique<external_client_impl>(test::client_options(bus_, retry));
        client->start();
        return client;
    }

    rk::logging::test::ScopedLogCapture capture_;
    rk::sys::ipc::test::PrivateBus bus_;
};

TEST_F(ExternalClientTest, EveryOperation) {
    test::FrameworkServiceProcess service(bus_, {"--set", "product.channel=stable"});
    ASSERT_TRUE(service.start());
    auto client = make_client();

    std::wstring value;
    EXPECT_FALSE(client->get_setting(L"product.channel", value, 5s));
    EXPECT_EQ(value, L"stable");

    std::mutex mutex;
    std::vector<std::wstring> seen;
    auto record = [&](std::wstring text) {
        std::lock_guard lock(mutex);
        seen.push_back(std::move(text));
    };
    const struct {
        const char* what;
        std::function<std::error_code()> op;
        std::error_code expected;
    } cases[] = {
        {"register settings",
         [&] {
             return client->register_for_setting_changes(
                 {L"a", L"b\u00e9"}, [&](const std::wstring& n, const std::wstring& v) { record(n + L"=" + v); }, 5s);
         },
         {}},
        {"register events",
         [&] {
             return client->register_for_system_events(
                 [&](const detail::system_event& e) {
                     record(e.domain + L":" + std::to_wstring(e.ctrl_code) + L":" + std::to_wstring(e.event_type) +
                            L":" + std::to_wstring(e.session_id));
                 },
                 5s);
         },
         {}},
        {"subscribe",
         [&] {
             return client->subscribe(
                 L"news", [&](const std::wstring& t, const std::wstring& p) { record(L"topic " + t + L" " + p); }, 5s);
         },
         {}},
        {"listen", [&] {
             return client->listen_event(
                 L"ping", [&](const std::wstring& e, const std::wstring& p) { record(L"event " + e + L" " + p); }, 5s);
         }, {}},
        {"set", [&] { return client->set_setting(L"b\u00e9", L"v\"1\"", 5s); }, {}},
        {"set unwatched", [&] { return client->set_setting(L"c", L"x", 5s); }, {}},
        {"publish", [&] { return client->publish(L"news", L"hello", 5s); }, {}},
        {"publish elsewhere", [&] { return client->publish(L"other", L"x", 5s); }, {}},
        // A message still on its way when the topic is unsubscribed is dropped.
        {"news delivered",
         [&] {
             const bool arrived = eventually(
                 [&] {
                     std::lock_guard lock(mutex);
                     return std::find(seen.begin(), seen.end(), L"topic news hello") != seen.end();
                 },
                 15s);
             return arrived ? std::error_code{} : make_error_code(framework_error::timed_out);
         },
         {}},
        {"signal", [&] { return client->signal_event(L"ping", L"{\"n\":1}", 5s); }, {}},
        {"unsubscribe", [&] { return client->unsubscribe(L"news", 5s); }, {}},
        {"unsubscribe again", [&] { return client->unsubscribe(L"news", 5s); },
         make_error_code(framework_error::not_found)},
        {"get missing", [&] { return client->get_setting(L"missing", value, 5s); },
         make_error_code(framework_error::not_found)},
        {"publish after unsubscribe", [&] { return client->publish(L"news", L"late", 5s); }, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.op(), c.expected) << c.what;
    }
    EXPECT_EQ(test::admin_call(bus_, "EmitSystemEvent",
                               {std::string(R"({"domain":"power","ctrl_code":7,"event_type":2,"session_id":3})")}),
              1);
    EXPECT_EQ(test::admin_call(bus_, "EmitSystemEvent", {std::string(R"({"domain":"power","ctrl_code":7,"event_type":2})")}),
              1);

    // A call that reaches its handler: TrustValidatorTest.CacheReport.
    std::int32_t hr = -1;
    std::uint32_t result = 0;
    EXPECT_FALSE(client->invoke_rpc(L"no.such", L"{}", hr, result, 5s));
    EXPECT_EQ(hr, static_cast<std::int32_t>(0x80004001));

    const bool all_arrived = eventually(
        [&] {
            std::lock_guard lock(mutex);
            return seen.size() >= 4;
        },
        15s);
    std::this_thread::sleep_for(50ms);  // nothing else may arrive
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(all_arrived);
        EXPECT_EQ(seen, (std::vector<std::wstring>{L"b\u00e9=v\"1\"", L"topic news hello", L"event ping {\"n\":1}",
                                                   L"power:7:2:3"}));
    }
    const auto& log = capture_.logger();
    EXPECT_TRUE(log.Contains(L"[framework] registering for setting changes (2)"));
    EXPECT_TRUE(log.Contains(L"[framework] registering for setting change (2/2) to 'b\u00e9'"));
    EXPECT_TRUE(log.Contains(L"[framework] notifying setting changed 'b\u00e9' = 'v\"1\"'"));
    EXPECT_TRUE(log.Contains(L"[framework] notifying system event 'power' = '7'"));
    EXPECT_TRUE(log.Contains(L"system event does not contain session_id"));
    EXPECT_TRUE(log.Contains(
        L"[framework] received msg 'framework.response.signal' : '{\"event\":\"news\",\"payload\":\"hello\"}'"));
    EXPECT_TRUE(log.Contains(L"remote unsubscribe failed"));
    EXPECT_TRUE(log.Contains(L"[framework] (+ 1) get setting"));
}

// Oversized and malformed incoming payloads are refused with their reasons;
// the client keeps working.
TEST_F(ExternalClientTest, IncomingPayloadBounds) {
    test::FrameworkServiceProcess service(bus_);
    ASSERT_TRUE(service.start());
    auto client = make_client();
    std::atomic<int> calls{0};
    ASSERT_FALSE(client->register_for_setting_changes({L"a"}, [&](auto&, auto&) { ++calls; }, 5s));
    ASSERT_FALSE(client->listen_event(L"e", [&](auto&, auto&) { ++calls; }, 5s));

    const std::string big_value(17 * 1024, 'v');
    const struct {
        std::uint16_t type;
        const char* name;
        std::string payload;
        const wchar_t* reason;
    } cases[] = {
        {16, "framework.response.setting_change", R"({"name":"a","value":")" + big_value + "\"}",
         L"setting change payload is too large"},
        {14, "framework.response.signal", R"({"event":"e","payload":")" + std::string(65 * 1024, 'p') + "\"}",
         L"signal payload is too large"},
        {16, "framework.response.setting_change", "{\"name\":\"a\",", L"a data value is invalid"},
        {14, "framework.response.setting_change", R"({"event":"e","payload":"x"})", L"a data value is invalid"},
        {15, "framework.response.system_event", R"({"ctrl_code":1,"event_type":2,"session_id":3})",
         L"system event does not contain domain"},
        {15, "framework.response.system_event", R"({"domain":"d","ctrl_code":"1","event_type":2,"session_id":3})",
         L"system event does not contain ctrl_code"},
    };
    for (const auto& c : cases) {
        capture_.logger().Clear();
        ASSERT_EQ(test::admin_call(bus_, "Deliver", {c.type, std::string(c.name), c.payload, std::uint32_t{1}}), 1);
        EXPECT_TRUE(eventually([&] { return capture_.logger().Contains(c.reason); })) << c.reason;
    }
    EXPECT_EQ(calls.load(), 0);
    EXPECT_FALSE(client->set_setting(L"a", L"small", 5s));
    EXPECT_TRUE(eventually([&] { return calls.load() == 1; }));
}

// Without a service the communicator tries at most once per retry interval
// and callers time out.
TEST_F(ExternalClientTest, ServiceAbsent) {
    auto client = make_client(100ms);
    const auto start = std::chrono::steady_clock::now();
    std::wstring value;
    EXPECT_EQ(client->get_setting(L"x", value, 450ms), make_error_code(framework_error::timed_out));
    {
        scoped_call_timeout override(100);
        external_client& base = *client;  // the defaults live on the interface
        EXPECT_EQ(base.publish(L"t", L"p"), make_error_code(framework_error::timed_out));
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const auto attempts = client->communicator().connect_attempts();
    EXPECT_GE(attempts, 2u);
    EXPECT_LE(attempts, static_cast<std::size_t>(elapsed / 100ms) + 1);
    const auto& log = capture_.logger();
    EXPECT_TRUE(log.Contains(L"remote get setting timed out"));
    EXPECT_TRUE(log.Contains(L"remote publish timed out"));
    EXPECT_TRUE(log.Contains(L"failed to create instance of IController"));
    EXPECT_TRUE(log.Contains(L"[framework] no connection -- waiting before retry"));
    EXPECT_EQ(count(log, L"[framework] trying to connect to the framework service"), attempts);
}

// A service killed with calls in flight and queued: the calls wait for the
// restarted service and reach it once each; registrations are renewed.
TEST_F(ExternalClientTest, ReconnectAfterRestart) {
    test::FrameworkServiceProcess service(bus_);
    ASSERT_TRUE(service.start());
    auto client = make_client();
    std::atomic<int> changes{0};
    ASSERT_FALSE(client->register_for_setting_changes({L"k"}, [&](auto&, auto&) { ++changes; }, 5s));

    // In flight when the service dies: answered by the restarted one.
    auto sleeping = std::async(std::launch::async, [&] {
        std::int32_t hr = -1;
        std::uint32_t result = 0;
        const auto ec = client->invoke_rpc(L"service.sleep", LR"({"ms":300})", hr, result, 20s);
        return ec ? -1 : static_cast<int>(result);
    });
    std::this_thread::sleep_for(100ms);
    service.kill();
    std::vector<std::future<std::error_code>> queued;
    for (int i = 0; i < 3; ++i) {
        queued.push_back(std::async(std::launch::async, [&, i] {
            return client->set_setting(L"k", std::to_wstring(i), 20s);
        }));
    }
    ASSERT_TRUE(eventually([&] { return capture_.logger().Contains(L"[framework] resetting controller (connection terminated)"); }));
    ASSERT_TRUE(service.start());
    EXPECT_EQ(sleeping.get(), 300);
    for (auto& f : queued) {
        EXPECT_FALSE(f.get());
    }
    EXPECT_TRUE(eventually([&] { return changes.load() == 3; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(changes.load(), 3);
    EXPECT_GE(count(capture_.logger(), L"[framework] connected to the framework service"), 2u);
    EXPECT_TRUE(capture_.logger().Contains(L"[framework] failed to process all work; re-enqueing 1 items"));
}

// Stopping processes the queue once; what fails then is not re-enqueued.
TEST_F(ExternalClientTest, StopWithQueuedWork) {
    test::FrameworkServiceProcess service(bus_);
    ASSERT_TRUE(service.start());
    auto client = make_client();
    auto rpc = [&](int ms) {
        return std::async(std::launch::async, [&, ms] {
            std::int32_t hr = -1;
            std::uint32_t result = 0;
            return client->invoke_rpc(L"service.sleep", L"{\"ms\":" + std::to_wstring(ms) + L"}", hr, result, 20s);
        });
    };
    // The first call outlasts the set-up below even on a loaded machine.
    auto busy = rpc(1000);
    ASSERT_TRUE(eventually([&] { return capture_.logger().Contains(L"[framework] (+ 1) invoke_rpc"); }));
    std::this_thread::sleep_for(50ms);
    auto second = rpc(3000);
    // The setting must queue behind the second call.
    ASSERT_TRUE(eventually([&] { return count(capture_.logger(), L"[framework] (+ 1) invoke_rpc") >= 2; }));
    std::this_thread::sleep_for(50ms);
    auto set = std::async(std::launch::async, [&] { return client->set_setting(L"k", L"v", 20s); });
    ASSERT_TRUE(eventually([&] { return capture_.logger().Contains(L"[framework] (+ 1) set setting"); }));
    std::this_thread::sleep_for(50ms);
    auto stopper = std::async(std::launch::async, [&] { client->stop(); });
    // The service dies while the drain waits for the second call.
    ASSERT_TRUE(eventually(
        [&] { return capture_.logger().Contains(L"[framework] processing remaining work before stopping (2 items)"); }));
    std::this_thread::sleep_for(100ms);
    service.kill();
    stopper.get();

    EXPECT_FALSE(busy.get());
    EXPECT_EQ(second.get(), make_error_code(framework_error::not_available));
    EXPECT_EQ(set.get(), make_error_code(framework_error::not_available));
    const auto& log = capture_.logger();
    EXPECT_TRUE(log.Contains(L"[framework] not re-enqueing while stopping"));
    EXPECT_FALSE(log.Contains(L"[framework] failed to process all work; re-enqueing"));
    EXPECT_TRUE(log.Contains(L"[framework] unregistering communicator"));
}

// A flood of incoming messages while the client stops: the rest is dropped
// and nothing is delivered after stop() returned.
TEST_F(ExternalClientTest, FloodWhileStopping) {
    test::FrameworkServiceProcess service(bus_);
    ASSERT_TRUE(service.start());
    auto client = make_client();
    std::atomic<int> changes{0};
    ASSERT_FALSE(client->register_for_setting_changes({L"k"}, [&](auto&, auto&) { ++changes; }, 5s));
    auto flood = std::async(std::launch::async, [&] {
        return test::admin_call(bus_, "Deliver",
                                {std::uint16_t{16}, std::string("framework.response.setting_change"),
                                 std::string(R"({"name":"k","value":"x"})"), std::uint32_t{5000}});
    });
    ASSERT_TRUE(eventually([&] { return changes.load() > 0; }));
    client->stop();
    const int after_stop = changes.load();
    EXPECT_EQ(flood.get(), 5000);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(changes.load(), after_stop);
    EXPECT_LT(after_stop, 5000);
    EXPECT_TRUE(capture_.logger().Contains(L"[framework] not processing message (stopping)"));
}

}  // namespace
}  // namespace ctp
