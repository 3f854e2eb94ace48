#include "script_host/duktape/duktape_text.h"

#include <cstdint>
#include <type_traits>

namespace Corvane::Script::duktape {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void put3(std::string& out, char32_t c) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
}

bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes one UTF-8 sequence at `i` (surrogates allowed, as CESU-8 needs);
// returns the code point and advances `i`, or kReplacement past one byte.
char32_t decode_one(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    int extra = 0;
    char32_t c = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        ++i;
        return b0;
    } else if ((b0 & 0xE0) == 0xC0) {
        extra = 1, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, c = b0 & 0x07, min = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + extra >= s.size()) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if (!is_continuation(b)) {
            ++i;
            return kReplacement;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF) {
        ++i;
        return kReplacement;
    }
    i += 1 + extra;
    return c;
}

}  // namespace

std::string WideToCesu8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (const wchar_t wc : text) {
        auto c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(wc));
        // UTF-16 wide text (Windows) already holds the code units scripts see.
        if ((sizeof(wchar_t) > 2 && c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            c = kReplacement;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            put3(out, c);
        } else {
            const char32_t v = c - 0x10000;
            put3(out, 0xD800 + (v >> 10));
            put3(out, 0xDC00 + (v & 0x3FF));
        }
    }
    return out;
}

std::wstring Cesu8ToWide(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        char32_t c = decode_one(bytes, i);
        if (c >= 0xD800 && c <= 0xDBFF) {
            std::size_t j = i;
            const char32_t low = j < bytes.size() ? decode_one(bytes, j) : 0;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i = j;
            } else {
                c = kReplacement;
            }
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            c = kReplacement;
        }
        if (sizeof(wchar_t) == 2 && c > 0xFFFF) {
            out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(c);
        }
    }
    return out;
}

}  // namespace Corvane::Script::duktape
