// The framework service's client operations. Each operation queues one
// request for the communicator and waits for its answer up to the remote
// call timeout (call_timeout.h): a failure of the remote side is reported
// as "remote <label> failed", a timeout as "remote <label> timed out"
// (framework code 0x8000000E), an exception inside as "exception in
// <label>". Results are error codes of the "ctpframework" category or of the
// Windows categories; nothing throws.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "framework_client/payloads.h"

namespace ctp {

using timeout_arg = std::optional<std::chrono::milliseconds>;

// Callbacks run on the thread that delivers incoming messages; they must
// not block for long.
using setting_changed_callback = std::function<void(const std::wstring& name, const std::wstring& value)>;
using system_event_callback = std::function<void(const detail::system_event& event)>;
using signal_callback = std::function<void(const std::wstring& event, const std::wstring& payload)>;

class external_client {
public:
    external_client() = default;
    external_client(const external_client&) = delete;
    external_client& operator=(const external_client&) = delete;
    virtual ~external_client() = default;

    virtual std::uint64_t id() const = 0;

    virtual std::error_code get_setting(std::wstring_view name, std::wstring& value, timeout_arg timeout = {}) = 0;
    virtual std::error_code set_setting(std::wstring_view name, std::wstring_view value, timeout_arg timeout = {}) = 0;
    virtual std::error_code publish(std::wstring_view topic, std::wstring_view payload, timeout_arg timeout = {}) = 0;
    // Messages published to `topic` reach `callback`.
    virtual std::error_code subscribe(std::wstring_view topic, signal_callback callback, timeout_arg timeout = {}) = 0;
    // Signals of `event` reach `callback`.
    virtual std::error_code listen_event(std::wstring_view event, signal_callback callback,
                                         timeout_arg timeout = {}) = 0;
    virtual std::error_code register_for_setting_changes(const std::vector<std::wstring>& names,
                                                         setting_changed_callback callback,
                                                         timeout_arg timeout = {}) = 0;
    virtual std::error_code register_for_system_events(system_event_callback callback, timeout_arg timeout = {}) = 0;
    virtual std::error_code unsubscribe(std::wstring_view topic, timeout_arg timeout = {}) = 0;
    virtual std::error_code signal_event(std::wstring_view event, std::wstring_view payload,
                                         timeout_arg timeout = {}) = 0;
    // A named remote procedure: `hr` and `result` are its answer.
    virtual std::error_code invoke_rpc(std::wstring_view name, std::wstring_view payload, std::int32_t& hr,
                                       std::uint32_t& result, timeout_arg timeout = {}) = 0;
};

}  // namespace ctp
