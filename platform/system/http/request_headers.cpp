#include "platform/system/http/request_headers.h"

#include <algorithm>
#include <optional>

#include "platform/system/http/http_types.h"
#include "platform/text/strings.h"

namespace rk::sys::http {
namespace {

// RFC 9110 token characters.
bool is_token_char(wchar_t c) {
    if ((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z')) {
        return true;
    }
    return std::wstring_view(L"!#$%&'*+-.^_`|~").find(c) != std::wstring_view::npos;
}

struct Line {
    std::wstring name;
    std::wstring value;
};

std::optional<Line> parse_line(std::wstring_view line) {
    const auto colon = line.find(L':');
    if (colon == std::wstring_view::npos || colon == 0) {
        return std::nullopt;
    }
    const std::wstring_view name = line.substr(0, colon);
    if (!std::all_of(name.begin(), name.end(), is_token_char)) {
        return std::nullopt;
    }
    const std::wstring_view value = text::trim(line.substr(colon + 1));
    for (wchar_t c : value) {
        if (c == L'\r' || c == L'\n' || c == L'\0') {
            return std::nullopt;
        }
    }
    return Line{std::wstring(name), std::wstring(value)};
}

}  // namespace

bool RequestHeaders::contains(std::wstring_view name) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const auto& e) { return text::iequals(e.first, name); });
}

DWORD RequestHeaders::add(std::wstring_view lines, DWORD modifiers) {
    std::vector<Line> parsed;
    while (!lines.empty()) {
        const auto end = lines.find(L"\r\n");
        const std::wstring_view line = lines.substr(0, end);
        lines = end == std::wstring_view::npos ? std::wstring_view{} : lines.substr(end + 2);
        if (line.empty()) {
            continue;
        }
        auto entry = parse_line(line);
        if (!entry) {
            return win::kErrorInvalidParameter;
        }
        parsed.push_back(std::move(*entry));
    }
    if (parsed.empty()) {
        return win::kErrorInvalidParameter;
    }

    for (auto& line : parsed) {
        auto existing = std::find_if(entries_.begin(), entries_.end(),
                                     [&](const auto& e) { return text::iequals(e.first, line.name); });
        const bool present = existing != entries_.end();
        if ((modifiers & kAddReqFlagReplace) != 0) {
            if (present) {
                if (line.value.empty()) {
                    entries_.erase(existing);
                } else {
                    existing->second = std::move(line.value);
                }
                continue;
            }
            if ((modifiers & kAddReqFlagAdd) == 0) {
                return win::kWinHttpErrorHeaderNotFound;
            }
        } else if ((modifiers & kAddReqFlagAddIfNew) != 0) {
            if (present) {
                return kWinHttpErrorHeaderAlreadyExists;
            }
        } else if ((modifiers & (kAddReqFlagCoalesceWithComma | kAddReqFlagCoalesceWithSemicolon)) != 0 && present) {
            const wchar_t* separator = (modifiers & kAddReqFlagCoalesceWithComma) != 0 ? L", " : L"; ";
            if (existing->second.empty()) {
                existing->second = std::move(line.value);
            } else if (!line.value.empty()) {
                existing->second += separator;
                existing->second += line.value;
            }
            continue;
        }
        entries_.emplace_back(std::move(line.name), std::move(line.value));
    }
    return win::kErrorSuccess;
}

}  // namespace rk::sys::http
