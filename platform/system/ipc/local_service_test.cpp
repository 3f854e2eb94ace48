#include "platform/system/ipc/local_service.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/system/ipc/test/private_bus.h"

namespace rk::sys::ipc {
namespace {

using namespace std::chrono_literals;

const ServiceObject kObject{"com.example.Test", "/com/example/Test", "com.example.Test1"};

// A service host serving on a thread of its own.
class TestService {
public:
    explicit TestService(const BusLocation& bus) {
        ServiceHostOptions options;
        options.object = kObject;
        options.on_call = [](const std::string&, const IncomingCall& call) { return answer(call); };
        hr_ = create_service_host(bus, std::move(options), host_);
        if (host_) {
            thread_ = std::thread([this] { host_->run(); });
        }
    }
    ~TestService() {
        if (host_) {
            host_->stop();
            thread_.join();
        }
    }
    HRESULT hr() const { return hr_; }
    ServiceHost& host() { return *host_; }

private:
    static MethodReply answer(const IncomingCall& call) {
        MethodReply reply;
        if (call.member == "Echo" && call.args.size() == 2) {
            reply.values = {call.args[0], call.args[1]};
        } else if (call.member == "Sleep" && call.args.size() == 1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::get<std::uint32_t>(call.args[0])));
        } else if (call.member == "Refuse") {
            reply.error_name = kErrorInvalidArgs;
            reply.error_message = "no";
        } else {
            reply.error_name = kErrorUnknownMethod;
        }
        return reply;
    }

    std::unique_ptr<ServiceHost> host_;
    HRESULT hr_;
    std::thread thread_;
};

class LocalServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus_.started()) {
            GTEST_SKIP() << bus_.why_not();
        }
    }
    test::PrivateBus bus_;
};

TEST_F(LocalServiceTest, CallOutcomes) {
    std::unique_ptr<ServiceProxy> proxy;
    EXPECT_EQ(create_service_proxy(bus_.location(), kObject, proxy), static_cast<HRESULT>(0x800706BA));
    EXPECT_EQ(create_service_proxy({BusKind::kSession, "unix:path=/nonexistent/bus"}, kObject, proxy),
              static_cast<HRESULT>(0x800706BA));
    EXPECT_EQ(create_service_proxy(bus_.location(), {"bad name", "/x", "a.b"}, proxy), static_cast<HRESULT>(0x80070057));

    TestService service(bus_.location());
    ASSERT_EQ(service.hr(), 0);
    std::unique_ptr<ServiceHost> second;
    EXPECT_EQ(create_service_host(bus_.location(), {kObject, {}, {}, {}}, second), static_cast<HRESULT>(0x800700B7));
    ASSERT_EQ(create_service_proxy(bus_.location(), kObject, proxy), 0);
    EXPECT_EQ(proxy->peer()[0], ':');

    const struct {
        const char* member;
        IpcValues in;
        const char* out_signature;
        HRESULT hr;
        IpcValues out;
    } cases[] = {
        {"Echo", {std::uint16_t{7}, std::string("h\xC3\xA9")}, "qs", 0, {std::uint16_t{7}, std::string("h\xC3\xA9")}},
        {"Echo", {std::uint64_t{1} << 40, std::int32_t{-3}}, "ti", 0, {std::uint64_t{1} << 40, std::int32_t{-3}}},
        {"Echo", {std::uint16_t{7}, std::string("x")}, "us", static_cast<HRESULT>(0x8000FFFF), {}},
        {"Echo", {std::uint16_t{7}, std::string("a\0b", 3)}, "qs", static_cast<HRESULT>(0x80070057), {}},
        {"Refuse", {}, "", static_cast<HRESULT>(0x80070057), {}},
        {"Missing", {}, "", static_cast<HRESULT>(0x80004001), {}},
        {"Sleep", {std::uint32_t{300}}, "", static_cast<HRESULT>(0x800705B4), {}},
    };
    for (const auto& c : cases) {
        IpcValues out;
        EXPECT_EQ(proxy->call(c.member, c.in, c.out_signature, out, 100ms), c.hr) << c.member;
        EXPECT_EQ(out, c.out) << c.member;
    }
}

// A proxy is bound to one instance: after a restart under the same name it
// reports the server unavailable, and the callback endpoint reports its
// peer gone; a new proxy reaches the new instance.
TEST_F(LocalServiceTest, RestartedServiceIsAnotherInstance) {
    std::unique_ptr<ServiceProxy> proxy;
    std::unique_ptr<CallbackEndpoint> endpoint;
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<IncomingCall> received;
    bool gone = false;
    {
        TestService service(bus_.location());
        ASSERT_EQ(service.hr(), 0);
        ASSERT_EQ(create_service_proxy(bus_.location(), kObject, proxy), 0);
        CallbackOptions options{"/com/example/Callback", "com.example.Callback1", proxy->peer(),
                                [&](const IncomingCall& call) {
                                    std::lock_guard lock(mutex);
                                    received.push_back(call);
                                    cv.notify_all();
                                },
                                [&] {
                                    std::lock_guard lock(mutex);
                                    gone = true;
                                    cv.notify_all();
                                }};
        ASSERT_EQ(create_callback_endpoint(bus_.location(), options, endpoint), 0);

        // Calls from the service are delivered; anyone else gets the bus's
        // unknown-method answer (E_NOTIMPL).
        std::unique_ptr<ServiceProxy> stranger;
        ASSERT_EQ(create_service_proxy(bus_.location(),
                                       {endpoint->bus_name(), "/com/example/Callback", "com.example.Callback1"},
                                       stranger),
                  0);
        IpcValues out;
        EXPECT_EQ(stranger->call("Note", {std::string("stranger")}, "", out, 1000ms), static_cast<HRESULT>(0x80004001));
        service.host().post([&] {
            service.host().send_call(endpoint->bus_name(), endpoint->path(), "com.example.Callback1", "Note",
                                     {std::uint16_t{15}, std::string("payload")});
        });
        std::unique_lock lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, 5s, [&] { return !received.empty(); }));
        EXPECT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0].member, "Note");
        EXPECT_EQ(received[0].args, (IpcValues{std::uint16_t{15}, std::string("payload")}));
        EXPECT_FALSE(gone);
    }
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, 5s, [&] { return gone; }));
    }
    TestService restarted(bus_.location());
    ASSERT_EQ(restarted.hr(), 0);
    IpcValues out;
    EXPECT_EQ(proxy->call("Echo", {std::uint16_t{1}, std::string("a")}, "qs", out, 1000ms),
              static_cast<HRESULT>(0x800706BA));
    std::unique_ptr<ServiceProxy> fresh;
    ASSERT_EQ(create_service_proxy(bus_.location(), kObject, fresh), 0);
    EXPECT_NE(fresh->peer(), proxy->peer());
    EXPECT_EQ(fresh->call("Echo", {std::uint16_t{1}, std::string("a")}, "qs", out, 1000ms), 0);
}

}  // namespace
}  // namespace rk::sys::ipc
