#include "platform/text/rapidxml_guard.h"

#include <algorithm>
#include <cstdint>

namespace rk::text {
namespace {

// Index just past the first `needle` at or after `from`, or the text's end.
std::size_t skip_past(std::wstring_view text, std::size_t from, std::wstring_view needle) {
    const auto at = text.find(needle, from);
    return at == std::wstring_view::npos ? text.size() : at + needle.size();
}

// Past the '>' that closes a DOCTYPE, whose internal subset brackets nest.
std::size_t skip_declaration(std::wstring_view text, std::size_t i) {
    int brackets = 0;
    for (; i < text.size(); ++i) {
        if (text[i] == L'[') {
            ++brackets;
        } else if (text[i] == L']') {
            --brackets;
        } else if (text[i] == L'>' && brackets <= 0) {
            return i + 1;
        }
    }
    return text.size();
}

constexpr bool kWideIs32Bit = sizeof(wchar_t) == 4;
// 32-bit wchar_t: a hidden character is kHiddenMark | code << 8 | 'A'.
constexpr std::uint32_t kHiddenMark = 0x40000000u;
constexpr std::uint32_t kHiddenLowByte = 'A';

// Low bytes rapidxml reads as plain text in every context.
[[maybe_unused]] bool harmless_low_byte(std::uint32_t code) {
    const std::uint32_t low = code & 0xFFu;
    return low >= 0x80u || (low >= '0' && low <= '9') || (low >= 'A' && low <= 'Z') || (low >= 'a' && low <= 'z');
}

void restore(wchar_t* text, std::size_t size) {
    if constexpr (kWideIs32Bit) {
        for (std::size_t i = 0; i < size; ++i) {
            const auto code = static_cast<std::uint32_t>(text[i]);
            if ((code & kHiddenMark) != 0) {
                text[i] = static_cast<wchar_t>((code & ~kHiddenMark) >> 8);
            }
        }
    }
}

}  // namespace

std::size_t xml_element_depth(std::wstring_view text) {
    std::size_t depth = 0;
    std::size_t deepest = 0;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        // Plain loops rather than find(): the runs between tags and the
        // attribute values are short, a library call costs more than them.
        while (i < n && text[i] != L'<') {
            ++i;
        }
        if (i == n) {
            break;
        }
        // The character after '<' tells the kind of markup; the longer
        // openings are compared only when it is '!'.
        const wchar_t next = i + 1 < n ? text[i + 1] : L'\0';
        if (next == L'!') {
            const auto rest = text.substr(i);
            if (rest.starts_with(L"<!--")) {
                i = skip_past(text, i + 4, L"-->");
            } else if (rest.starts_with(L"<![CDATA[")) {
                i = skip_past(text, i + 9, L"]]>");
            } else {
                i = skip_declaration(text, i + 2);
            }
        } else if (next == L'?') {
            i = skip_past(text, i + 2, L"?>");
        } else if (next == L'/') {
            depth = depth > 0 ? depth - 1 : 0;
            for (i += 2; i < n && text[i] != L'>'; ++i) {
            }
            i = i < n ? i + 1 : n;
        } else {
            deepest = std::max(deepest, ++depth);
            for (++i; i < n; ++i) {
                const wchar_t c = text[i];
                if (c == L'"' || c == L'\'') {
                    for (++i; i < n && text[i] != c; ++i) {
                    }
                    if (i == n) {
                        break;
                    }
                } else if (c == L'>') {
                    if (text[i - 1] == L'/') {
                        --depth;
                    }
                    ++i;
                    break;
                }
            }
        }
    }
    return deepest;
}

bool hide_wide_characters_from_rapidxml(wchar_t* text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const auto code = static_cast<std::uint32_t>(text[i]);
        if (code <= 0xFFu) {
            continue;
        }
        if constexpr (kWideIs32Bit) {
            text[i] = static_cast<wchar_t>(kHiddenMark | (code << 8) | kHiddenLowByte);
        } else if (!harmless_low_byte(code)) {
            return false;
        }
    }
    return true;
}

void restore_wide_characters(rapidxml::xml_node<wchar_t>* node) {
    for (; node != nullptr; node = node->next_sibling()) {
        restore(node->name(), node->name_size());
        restore(node->value(), node->value_size());
        for (auto* attribute = node->first_attribute(); attribute != nullptr;
             attribute = attribute->next_attribute()) {
            restore(attribute->name(), attribute->name_size());
            restore(attribute->value(), attribute->value_size());
        }
        restore_wide_characters(node->first_node());
    }
}

}  // namespace rk::text
