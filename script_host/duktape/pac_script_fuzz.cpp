// A proxy script from the fuzzer's bytes, run against a fixed URL with
// small limits; lookups answer from the host name's length.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "script_host/duktape/pac_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Corvane::Script::duktape;
    PacHost host;
    host.resolve = [](const std::string& name) -> std::optional<std::string> {
        if (name.size() % 3 == 0) {
            return std::nullopt;
        }
        return "10.0.0." + std::to_string(name.size() % 256);
    };
    host.local_address = [] { return std::string("192.168.1.2"); };
    host.now_ms = 1772807415000;
    Corvane::Script::ScriptLimits limits;
    limits.time_limit = std::chrono::milliseconds(50);
    limits.heap_limit = 2u * 1024 * 1024;
    const std::string_view script(reinterpret_cast<const char*>(data), size);
    (void)RunProxyScript(script, "http://www.example.com/path?q=1", "www.example.com", host, limits);
    return 0;
}
