// What the error categories share: the text for "no message" and the turn
// of a message-table text into the narrow text std::error_category gives.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/errors/win_error.h"

namespace dira_doro {

inline constexpr char kUnknownMessage[] = "unknown";

// Buffer sizes of the message lookups, in characters.
inline constexpr std::size_t kSystemMessageChars = 4096;
inline constexpr std::size_t kModuleMessageChars = 2048;

namespace detail {

// UTF-8 of the text without trailing white space; "unknown" when there is
// no text or nothing but white space.
std::string message_or_unknown(const std::optional<std::wstring>& text);

// The "ntstatus" rule, shared with "win32" for codes with the NT-facility bit.
std::string nt_status_message(rk::NTSTATUS status);

}  // namespace detail
}  // namespace dira_doro
