#include "platform/text/rapidxml_guard.h"

#include <algorithm>
#include <cstdint>

namespace rk::text {
namespace {

// Index just past the first `needle` at or after `from`, or the text's end.
template <typename Ch>
std::size_t skip_past(std::basic_string_view<Ch> text, std::size_t from, std::basic_string_view<Ch> needle) {
    const auto at = text.find(needle, from);
    return at == std::basic_string_view<Ch>::npos ? text.size() : at + needle.size();
}

// Past the '>' that closes a DOCTYPE, whose internal subset brackets nest.
template <typename Ch>
std::size_t skip_declaration(std::basic_string_view<Ch> text, std::size_t i) {
    int brackets = 0;
    for (; i < text.size(); ++i) {
        if (text[i] == Ch('[')) {
            ++brackets;
        } else if (text[i] == Ch(']')) {
            --brackets;
        } else if (text[i] == Ch('>') && brackets <= 0) {
            return i + 1;
        }
    }
    return text.size();
}

// The markup the depth scan skips, in either character type.
template <typename Ch>
struct Markup {
    static constexpr Ch kCommentOpen[] = {'<', '!', '-', '-'};
    static constexpr Ch kCommentClose[] = {'-', '-', '>'};
    static constexpr Ch kCdataOpen[] = {'<', '!', '[', 'C', 'D', 'A', 'T', 'A', '['};
    static constexpr Ch kCdataClose[] = {']', ']', '>'};
    static constexpr Ch kPiClose[] = {'?', '>'};
    static constexpr std::basic_string_view<Ch> view(const Ch* text, std::size_t size) { return {text, size}; }
};

template <typename Ch>
std::size_t element_depth(std::basic_string_view<Ch> text) {
    using M = Markup<Ch>;
    std::size_t depth = 0;
    std::size_t deepest = 0;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        // Plain loops rather than find(): the runs between tags and the
        // attribute values are short, a library call costs more than them.
        while (i < n && text[i] != Ch('<')) {
            ++i;
        }
        if (i == n) {
            break;
        }
        // The character after '<' tells the kind of markup; the longer
        // openings are compared only when it is '!'.
        const Ch next = i + 1 < n ? text[i + 1] : Ch('\0');
        if (next == Ch('!')) {
            const auto rest = text.substr(i);
            if (rest.starts_with(M::view(M::kCommentOpen, std::size(M::kCommentOpen)))) {
                i = skip_past(text, i + 4, M::view(M::kCommentClose, std::size(M::kCommentClose)));
            } else if (rest.starts_with(M::view(M::kCdataOpen, std::size(M::kCdataOpen)))) {
                i = skip_past(text, i + 9, M::view(M::kCdataClose, std::size(M::kCdataClose)));
            } else {
                i = skip_declaration(text, i + 2);
            }
        } else if (next == Ch('?')) {
            i = skip_past(text, i + 2, M::view(M::kPiClose, std::size(M::kPiClose)));
        } else if (next == Ch('/')) {
            depth = depth > 0 ? depth - 1 : 0;
            for (i += 2; i < n && text[i] != Ch('>'); ++i) {
            }
            i = i < n ? i + 1 : n;
        } else {
            deepest = std::max(deepest, ++depth);
            for (++i; i < n; ++i) {
                const Ch c = text[i];
                if (c == Ch('"') || c == Ch('\'')) {
                    for (++i; i < n && text[i] != c; ++i) {
                    }
                    if (i == n) {
                        break;
                    }
                } else if (c == Ch('>')) {
                    if (text[i - 1] == Ch('/')) {
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

std::size_t xml_element_depth(std::wstring_view text) { return element_depth(text); }

std::size_t xml_element_depth(std::string_view text) { return element_depth(text); }

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
