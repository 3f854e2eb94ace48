// rk-framework-service [--bus system|session] [--address ADDR]
//                      [--set NAME=VALUE]... [--print-cache]
// Serves the framework service on the bus until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/text/format.h"
#include "tools/framework_service/framework_service.h"

namespace {

rk::framework_service::FrameworkService* g_service = nullptr;

extern "C" void on_signal(int) {
    if (g_service != nullptr) {
        g_service->stop();  // an atomic store and a write(2): safe here
    }
}

int usage() {
    std::fprintf(stderr,
                 "usage: rk-framework-service [--bus system|session] [--address ADDR] [--set NAME=VALUE]... "
                 "[--print-cache]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    rk::framework_service::ServiceOptions options;
    options.bus.kind = rk::sys::ipc::BusKind::kSystem;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--bus" && has_value) {
            const std::string kind = argv[++i];
            if (kind != "system" && kind != "session") {
                return usage();
            }
            options.bus.kind = kind == "system" ? rk::sys::ipc::BusKind::kSystem : rk::sys::ipc::BusKind::kSession;
        } else if (arg == "--address" && has_value) {
            options.bus.address = argv[++i];
        } else if (arg == "--set" && has_value) {
            const std::string item = argv[++i];
            const auto eq = item.find('=');
            if (eq == std::string::npos || eq == 0) {
                return usage();
            }
            options.settings[item.substr(0, eq)] = item.substr(eq + 1);
        } else if (arg == "--print-cache") {
            options.on_cache_entry = [](const std::string& target, std::uint64_t flags) {
                std::printf("cache: target='%s' flags=%llu (0x%llx)\n", target.c_str(),
                            static_cast<unsigned long long>(flags), static_cast<unsigned long long>(flags));
                std::fflush(stdout);
            };
        } else {
            return usage();
        }
    }
    std::unique_ptr<rk::framework_service::FrameworkService> service;
    const rk::HRESULT hr = rk::framework_service::FrameworkService::create(std::move(options), service);
    if (rk::win::failed(hr)) {
        std::fprintf(stderr, "rk-framework-service: cannot serve (0x%08x)\n", static_cast<unsigned>(hr));
        return 1;
    }
    g_service = service.get();
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    std::printf("rk-framework-service: serving\n");
    std::fflush(stdout);
    const rk::HRESULT result = service->run();
    g_service = nullptr;
    return rk::win::failed(result) ? 1 : 0;
}
