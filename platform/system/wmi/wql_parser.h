// The WQL subset the machine-query provider answers:
//
//   SELECT * FROM Class
//   SELECT Prop1, Prop2 FROM Class
//   ... WHERE Prop = 'text' | "text" | 123 | -4 | TRUE | FALSE
//
// Keywords, class and property names are case-insensitive, as in WQL.
// Inside a string literal a backslash takes the next character as it is
// ('C:\\Windows', 'it\'s'). White space is blanks, tabs, CR and LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/errors/win_error.h"

namespace rk::sys::wmi {

// Longer queries are refused before they are read.
inline constexpr std::size_t kMaxQueryLength = 4096;

using WqlLiteral = std::variant<std::wstring, std::int64_t, bool>;

struct WqlCondition {
    std::wstring property;
    WqlLiteral value;
};

struct WqlQuery {
    std::wstring class_name;
    std::vector<std::wstring> properties;  // empty for "*"
    std::optional<WqlCondition> where;
};

// S_OK with `query` filled, or kWbemEInvalidQuery for anything outside the
// subset (and for queries longer than kMaxQueryLength).
HRESULT parse_wql(std::wstring_view text, WqlQuery& query);

}  // namespace rk::sys::wmi
