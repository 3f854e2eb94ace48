#include "platform/system/cabinet/cabinet_names.h"

#include <cstdint>
#include <span>

#include "platform/text/ansi_code_page.h"
#include "platform/text/utf.h"

namespace rk::sys::cabinet {
namespace {

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool acceptable_component(std::wstring_view part) {
    if (part == L"." || part == L"..") {
        return false;
    }
    for (const wchar_t c : part) {
        if (c < 0x20 || c == 0x7F || c == L':') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::wstring> decode_stored_name(std::string_view bytes, bool utf8) {
    if (utf8) {
        return text::utf8_to_wide_strict(bytes);
    }
    return text::ansi_to_wide(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::optional<std::vector<std::wstring>> split_stored_name(std::wstring_view name) {
    if (name.empty() || is_separator(name.front()) || is_separator(name.back())) {
        return std::nullopt;
    }
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start < name.size()) {
        std::size_t end = start;
        while (end < name.size() && !is_separator(name[end])) {
            ++end;
        }
        if (end > start) {
            const std::wstring_view part = name.substr(start, end - start);
            if (!acceptable_component(part)) {
                return std::nullopt;
            }
            parts.emplace_back(part);
        }
        start = end + 1;
    }
    return parts;
}

}  // namespace rk::sys::cabinet
