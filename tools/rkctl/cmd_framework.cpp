// rkctl framework: talks to a running framework service for operators.
#include <cstdio>
#include <cstdlib>

#include "framework_client/client_instance_impl.h"
#include "framework_client/external_client_impl.h"
#include "platform/text/utf.h"
#include "tools/rkctl/command.h"

namespace rk::ctl {
namespace {

constexpr char kUsage[] =
    "usage: rkctl framework get NAME\n"
    "       rkctl framework set NAME VALUE\n"
    "       rkctl framework publish TOPIC PAYLOAD\n"
    "       rkctl framework invoke PROCEDURE PAYLOAD\n"
    "options (before or after the words):\n"
    "  --bus system|session  the bus (default: the deployment profile's)\n"
    "  --address ADDR        a bus address instead of the bus's default\n"
    "  --timeout MS          how long to wait for the service (default 5000)\n"
    "\n"
    "Talks to the framework service through the framework client. get prints\n"
    "the value, invoke the procedure's HRESULT and number. Exit 1 when the\n"
    "service refuses, fails or does not answer in time.\n";

int fail(const std::string& what, const std::error_code& ec) {
    std::fprintf(stderr, "rkctl framework: %s: %s (%s:0x%08x)\n", what.c_str(), ec.message().c_str(),
                 ec.category().name(), static_cast<unsigned>(ec.value()));
    return kExitFailure;
}

int run_framework(const std::vector<std::string>& args) {
    auto options = ctp::detail::default_client_options();
    std::chrono::milliseconds timeout{5000};
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool has_value = i + 1 < args.size();
        if (args[i] == "--bus" && has_value) {
            const std::string& kind = args[++i];
            if (kind != "system" && kind != "session") {
                std::fprintf(stderr, "rkctl framework: --bus takes system or session\n");
                return kExitUsage;
            }
            options.communicator.connection.bus.kind =
                kind == "system" ? sys::ipc::BusKind::kSystem : sys::ipc::BusKind::kSession;
        } else if (args[i] == "--address" && has_value) {
            options.communicator.connection.bus.address = args[++i];
        } else if (args[i] == "--timeout" && has_value) {
            char* end = nullptr;
            const long ms = std::strtol(args[++i].c_str(), &end, 10);
            if (end == nullptr || *end != '\0' || ms <= 0) {
                std::fprintf(stderr, "rkctl framework: --timeout takes milliseconds\n");
                return kExitUsage;
            }
            timeout = std::chrono::milliseconds(ms);
        } else {
            words.push_back(args[i]);
        }
    }
    const std::size_t expected = words.empty() ? 0 : (words[0] == "get" ? 2 : 3);
    if (words.empty() || words.size() != expected ||
        (words[0] != "get" && words[0] != "set" && words[0] != "publish" && words[0] != "invoke")) {
        std::fprintf(stderr, "%s", kUsage);
        return kExitUsage;
    }
    ctp::detail::external_client_impl client(options);
    client.start();
    const std::wstring a = text::utf8_to_wide(words[1]);
    const std::wstring b = words.size() > 2 ? text::utf8_to_wide(words[2]) : std::wstring();
    if (words[0] == "get") {
        std::wstring value;
        if (auto ec = client.get_setting(a, value, timeout)) {
            return fail("get " + words[1], ec);
        }
        std::printf("%s\n", text::wide_to_utf8(value).c_str());
    } else if (words[0] == "set") {
        if (auto ec = client.set_setting(a, b, timeout)) {
            return fail("set " + words[1], ec);
        }
    } else if (words[0] == "publish") {
        if (auto ec = client.publish(a, b, timeout)) {
            return fail("publish " + words[1], ec);
        }
    } else {
        std::int32_t hr = 0;
        std::uint32_t result = 0;
        if (auto ec = client.invoke_rpc(a, b, hr, result, timeout)) {
            return fail("invoke " + words[1], ec);
        }
        std::printf("hr: 0x%08x, result: %u\n", static_cast<unsigned>(hr), result);
        return hr < 0 ? kExitFailure : kExitOk;
    }
    return kExitOk;
}

const CommandRegistrar kFramework({"framework", "get, set, publish or invoke on the framework service", kUsage,
                                   run_framework});

}  // namespace
}  // namespace rk::ctl
