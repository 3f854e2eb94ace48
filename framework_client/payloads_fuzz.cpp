// Incoming message payloads are untrusted: every parser must refuse or
// accept any bytes without crashing, within its size bound.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "framework_client/payloads.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view payload(reinterpret_cast<const char*>(data), size);
    ctp::detail::payload_error error;
    if (const auto change = ctp::detail::parse_setting_change(payload, error)) {
        if (change->name.empty()) {
            __builtin_trap();
        }
    }
    if (const auto event = ctp::detail::parse_system_event(payload, error)) {
        // What parses must survive being written and parsed again.
        const auto again = ctp::detail::parse_system_event(ctp::detail::system_event_payload(*event), error);
        if (!again || again->domain != event->domain || again->session_id != event->session_id) {
            __builtin_trap();
        }
    }
    ctp::detail::parse_signal(payload, error);
    return 0;
}
