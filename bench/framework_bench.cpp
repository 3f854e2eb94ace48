// Framework round trip: `get setting` through the external client (queue,
// communicator thread, D-Bus through dbus-daemon to rk-framework-service and
// back), against the same SendMessage as a bare proxy call and a bare
// sd-bus Peer.Ping of the service, in the same run. Median and 99th
// percentile of 5,000 round trips each; the ratios are printed.
#include <systemd/sd-bus.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "framework_client/external_client_impl.h"
#include "framework_client/framework_words.h"
#include "framework_client/test/framework_service_process.h"
#include "platform/system/ipc/test/private_bus.h"

namespace {

using clock_type = std::chrono::steady_clock;
constexpr int kRounds = 5000;

struct Figures {
    double median_us = 0;
    double p99_us = 0;
};

Figures measure(const std::function<bool()>& round_trip) {
    for (int i = 0; i < 200; ++i) {
        round_trip();  // warm up
    }
    std::vector<double> us;
    us.reserve(kRounds);
    for (int i = 0; i < kRounds; ++i) {
        const auto start = clock_type::now();
        if (!round_trip()) {
            std::fprintf(stderr, "round trip failed\n");
            return {};
        }
        us.push_back(std::chrono::duration<double, std::micro>(clock_type::now() - start).count());
    }
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[us.size() * 99 / 100]};
}

void print(const char* what, const Figures& f, const Figures& reference) {
    std::printf("%-46s median %7.1f us  p99 %7.1f us  (x%.2f / x%.2f of the bare ping)\n", what, f.median_us,
                f.p99_us, f.median_us / reference.median_us, f.p99_us / reference.p99_us);
}

}  // namespace

int main() {
    rk::sys::ipc::test::PrivateBus bus;
    if (!bus.started()) {
        std::fprintf(stderr, "skipped: %s\n", bus.why_not().c_str());
        return 0;
    }
    ctp::test::FrameworkServiceProcess service(bus, {"--set", "product.channel=stable"});
    if (!service.start()) {
        std::fprintf(stderr, "rk-framework-service did not start\n");
        return 1;
    }

    sd_bus* raw = nullptr;
    sd_bus_new(&raw);
    sd_bus_set_address(raw, bus.address().c_str());
    sd_bus_set_bus_client(raw, 1);
    if (sd_bus_start(raw) < 0) {
        std::fprintf(stderr, "cannot connect to the private bus\n");
        return 1;
    }
    const Figures ping = measure([&] {
        sd_bus_message* reply = nullptr;
        const int r = sd_bus_call_method(raw, ctp::kServiceName, ctp::kControllerPath, "org.freedesktop.DBus.Peer",
                                         "Ping", nullptr, &reply, "");
        sd_bus_message_unref(reply);
        return r >= 0;
    });
    sd_bus_flush_close_unref(raw);

    std::unique_ptr<rk::sys::ipc::ServiceProxy> proxy;
    rk::sys::ipc::create_service_proxy(bus.location(),
                                       {ctp::kServiceName, ctp::kControllerPath, ctp::kControllerInterface}, proxy);
    const rk::sys::ipc::IpcValues request = {std::uint16_t{8}, std::string("framework.client.get_setting"),
                                             std::string(R"({"name":"product.channel"})")};
    const Figures bare = measure([&] {
        rk::sys::ipc::IpcValues out;
        return proxy->call(ctp::kSendMessage, request, "is", out, std::chrono::seconds(5)) == 0;
    });

    ctp::detail::external_client_impl client(ctp::test::client_options(bus));
    client.start();
    const Figures full = measure([&] {
        std::wstring value;
        return !client.get_setting(L"product.channel", value, std::chrono::seconds(5)) && value == L"stable";
    });
    client.stop();

    std::printf("framework round trips over a private dbus-daemon, %d each\n", kRounds);
    print("bare sd-bus Peer.Ping of the service", ping, ping);
    print("SendMessage get_setting, bare seam proxy", bare, ping);
    print("get setting through the external client", full, ping);
    return 0;
}
