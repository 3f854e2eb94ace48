// Message payloads: JSON objects in UTF-8. Requests are built here; incoming
// payloads (untrusted: they come from another process) are parsed here with
// size bounds checked before anything is read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ctp::detail {

// Incoming payloads larger than this are refused unread.
inline constexpr std::size_t kMaxIncomingPayload = 1024 * 1024;
// The setting-change notification buffer and the signal payload bound
// (bytes of UTF-8).
inline constexpr std::size_t kMaxSettingChangePayload = 16 * 1024;
inline constexpr std::size_t kMaxSignalPayload = 64 * 1024;

struct setting_change {
    std::wstring name;
    std::wstring value;
};

struct system_event {
    std::wstring domain;
    std::int32_t ctrl_code = 0;
    std::int32_t event_type = 0;
    std::uint32_t session_id = 0;
};

struct signal_message {
    std::wstring event;
    std::wstring payload;
};

// Why a payload was refused: the message to report (one of the documented
// texts, or "a data value is invalid" for malformed JSON).
struct payload_error {
    std::wstring message;
    bool too_large = false;
};

std::optional<setting_change> parse_setting_change(std::string_view payload, payload_error& error);
std::optional<system_event> parse_system_event(std::string_view payload, payload_error& error);
std::optional<signal_message> parse_signal(std::string_view payload, payload_error& error);

// Request payloads.
std::string name_payload(std::wstring_view name);                                 // {"name"}
std::string setting_payload(std::wstring_view name, std::wstring_view value);     // {"name","value"}
std::string topic_payload(std::wstring_view topic);                               // {"topic"}
std::string publish_payload(std::wstring_view topic, std::wstring_view payload);  // {"topic","payload"}
std::string event_payload(std::wstring_view event);                               // {"event"}
std::string signal_payload(std::wstring_view event, std::wstring_view payload);   // {"event","payload"}
std::string names_payload(const std::vector<std::wstring>& names);               // {"names":[...]}
std::string system_event_payload(const system_event& e);

}  // namespace ctp::detail
