#include "platform/text/utf.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace rk::text {
namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

bool is_surrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Decodes one UTF-8 sequence starting at in[i]. Returns the code point or
// nullopt for a malformed sequence; `len` is set to the bytes to skip: the
// maximal prefix of a well-formed sequence, at least 1 (the Unicode
// "maximal subpart" practice, which Windows and browsers follow), so a
// lenient caller emits one U+FFFD per bad prefix and resumes at the next
// byte that may start a character. The second-byte ranges exclude over-long
// forms, surrogates and code points above U+10FFFF up front.
std::optional<char32_t> decode_utf8(std::string_view in, std::size_t i, std::size_t& len) {
    const auto b0 = static_cast<unsigned char>(in[i]);
    len = 1;
    if (b0 < 0x80) {
        return b0;
    }
    std::size_t need;
    char32_t cp;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1, cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2, cp = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3, cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return std::nullopt;
    }
    for (std::size_t k = 1; k <= need; ++k) {
        if (i + k >= in.size()) {
            return std::nullopt;
        }
        const auto b = static_cast<unsigned char>(in[i + k]);
        if (b < lo || b > hi) {
            return std::nullopt;
        }
        lo = 0x80;
        hi = 0xBF;
        cp = (cp << 6) | (b & 0x3F);
        len = k + 1;
    }
    return cp;
}

void append_wide(std::wstring& out, char32_t cp) {
    if constexpr (kWideIsUtf16) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(cp));
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Walks UTF-16 code units (from any source) and yields code points; an
// unpaired surrogate yields nullopt.
template <typename Unit, typename Emit>
bool walk_utf16(std::size_t n, Unit unit_at, Emit emit) {
    bool ok = true;
    for (std::size_t i = 0; i < n; ++i) {
        const char32_t u = unit_at(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
            const char32_t lo = unit_at(i + 1);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                emit(std::optional<char32_t>(0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00)));
                ++i;
                continue;
            }
        }
        if (is_surrogate(u)) {
            ok = false;
            emit(std::optional<char32_t>());
            continue;
        }
        emit(std::optional<char32_t>(u));
    }
    return ok;
}

// Walks the wide text as code points; on Windows pairs surrogates.
template <typename Emit>
bool walk_wide(std::wstring_view w, Emit emit) {
    if constexpr (kWideIsUtf16) {
        return walk_utf16(
            w.size(), [&](std::size_t i) { return static_cast<char32_t>(w[i]); }, emit);
    } else {
        bool ok = true;
        for (wchar_t wc : w) {
            const auto cp = static_cast<char32_t>(wc);
            if (cp > 0x10FFFF || is_surrogate(cp)) {
                ok = false;
                emit(std::optional<char32_t>());
            } else {
                emit(std::optional<char32_t>(cp));
            }
        }
        return ok;
    }
}

template <typename Out>
void push_or_replace(Out& out, const std::optional<char32_t>& cp,
                     void (*append)(Out&, char32_t)) {
    append(out, cp ? *cp : kReplacementChar);
}

void append_utf16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

}  // namespace

namespace {

void put_wide(wchar_t* out, std::size_t& o, char32_t cp) {
    if constexpr (kWideIsUtf16) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out[o++] = static_cast<wchar_t>(0xD800 + (cp >> 10));
            out[o++] = static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
            return;
        }
    }
    out[o++] = static_cast<wchar_t>(cp);
}

// Advances `i` over whole eight-byte chunks of ASCII in bytes[i, n),
// handing each chunk's start to `on_chunk`; returns where the run stops.
template <typename OnChunk>
std::size_t skip_ascii_chunks(const unsigned char* bytes, std::size_t i, std::size_t n, OnChunk&& on_chunk) {
    while (i + 8 <= n) {
        std::uint64_t chunk;
        std::memcpy(&chunk, bytes + i, sizeof chunk);
        if ((chunk & 0x8080808080808080ULL) != 0) {
            break;
        }
        on_chunk(i);
        i += 8;
    }
    return i;
}

// Decodes `in` into `out`, which has room for in.size() units (a sequence
// never yields more units than it has bytes, nor does its replacement).
// Runs of ASCII, the bulk of documents, go eight bytes at a time. Strict:
// false at the first malformed sequence; otherwise each becomes U+FFFD.
template <bool Strict>
bool widen_utf8(std::string_view in, wchar_t* out, std::size_t& written) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    std::size_t i = 0;
    std::size_t o = 0;
    while (i < n) {
        i = skip_ascii_chunks(bytes, i, n, [&](std::size_t at) {
            for (std::size_t k = 0; k < 8; ++k) {
                out[o + k] = static_cast<wchar_t>(bytes[at + k]);
            }
            o += 8;
        });
        if (i == n) {
            break;
        }
        if (bytes[i] < 0x80) {
            out[o++] = static_cast<wchar_t>(bytes[i++]);
            continue;
        }
        std::size_t len = 0;
        const auto cp = decode_utf8(in, i, len);
        if (!cp && Strict) {
            return false;
        }
        put_wide(out, o, cp ? *cp : kReplacementChar);
        i += len;
    }
    written = o;
    return true;
}

}  // namespace

bool is_valid_utf8(std::string_view utf8) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n) {
        i = skip_ascii_chunks(bytes, i, n, [](std::size_t) {});
        if (i == n) {
            break;
        }
        if (bytes[i] < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        if (!decode_utf8(utf8, i, len)) {
            return false;
        }
        i += len;
    }
    return true;
}

bool utf8_to_wide_strict(std::string_view utf8, wchar_t* out, std::size_t& written) {
    return widen_utf8<true>(utf8, out, written);
}

std::optional<std::wstring> utf8_to_wide_strict(std::string_view utf8) {
    std::wstring out(utf8.size(), L'\0');
    std::size_t written = 0;
    if (!widen_utf8<true>(utf8, out.data(), written)) {
        return std::nullopt;
    }
    out.resize(written);
    return out;
}

void append_utf8_to_wide(std::wstring& out, std::string_view utf8) {
    const std::size_t before = out.size();
    out.resize(before + utf8.size());
    std::size_t written = 0;
    widen_utf8<false>(utf8, out.data() + before, written);
    out.resize(before + written);
}

std::wstring utf8_to_wide(std::string_view utf8) {
    std::wstring out;
    append_utf8_to_wide(out, utf8);
    return out;
}

std::optional<std::string> wide_to_utf8_strict(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    const bool ok = walk_wide(wide, [&](const std::optional<char32_t>& cp) {
        if (cp) {
            append_utf8(out, *cp);
        }
    });
    if (!ok) {
        return std::nullopt;
    }
    return out;
}

void append_wide_to_utf8(std::string& out, std::wstring_view wide) {
    walk_wide(wide, [&](const std::optional<char32_t>& cp) { push_or_replace(out, cp, append_utf8); });
}

std::string wide_to_utf8(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    append_wide_to_utf8(out, wide);
    return out;
}

std::optional<std::wstring> utf16_to_wide_strict(std::u16string_view utf16) {
    std::wstring out;
    out.reserve(utf16.size());
    const bool ok = walk_utf16(
        utf16.size(), [&](std::size_t i) { return static_cast<char32_t>(utf16[i]); },
        [&](const std::optional<char32_t>& cp) {
            if (cp) {
                append_wide(out, *cp);
            }
        });
    if (!ok) {
        return std::nullopt;
    }
    return out;
}

void append_utf16_to_wide(std::wstring& out, std::u16string_view utf16) {
    walk_utf16(
        utf16.size(), [&](std::size_t i) { return static_cast<char32_t>(utf16[i]); },
        [&](const std::optional<char32_t>& cp) { push_or_replace(out, cp, append_wide); });
}

void append_utf16_to_utf8(std::string& out, std::u16string_view utf16) {
    walk_utf16(
        utf16.size(), [&](std::size_t i) { return static_cast<char32_t>(utf16[i]); },
        [&](const std::optional<char32_t>& cp) { push_or_replace(out, cp, append_utf8); });
}

std::wstring utf16_to_wide(std::u16string_view utf16) {
    std::wstring out;
    out.reserve(utf16.size());
    append_utf16_to_wide(out, utf16);
    return out;
}

std::u16string wide_to_utf16(std::wstring_view wide) {
    std::u16string out;
    out.reserve(wide.size());
    walk_wide(wide, [&](const std::optional<char32_t>& cp) { push_or_replace(out, cp, append_utf16); });
    return out;
}

std::optional<std::wstring> utf16le_to_wide_strict(std::span<const std::uint8_t> bytes) {
    if (bytes.size() % 2 != 0) {
        return std::nullopt;
    }
    std::wstring out;
    out.reserve(bytes.size() / 2);
    const bool ok = walk_utf16(
        bytes.size() / 2,
        [&](std::size_t i) { return static_cast<char32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)); },
        [&](const std::optional<char32_t>& cp) {
            if (cp) {
                append_wide(out, *cp);
            }
        });
    if (!ok) {
        return std::nullopt;
    }
    return out;
}

std::wstring utf16le_to_wide(std::span<const std::uint8_t> bytes) {
    std::wstring out;
    out.reserve(bytes.size() / 2 + 1);
    walk_utf16(
        bytes.size() / 2,
        [&](std::size_t i) { return static_cast<char32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)); },
        [&](const std::optional<char32_t>& cp) { push_or_replace(out, cp, append_wide); });
    if (bytes.size() % 2 != 0) {
        append_wide(out, kReplacementChar);
    }
    return out;
}

void append_wide_to_utf16le(std::vector<std::uint8_t>& out, std::wstring_view wide) {
    // Characters of the BMP outside the surrogate range, the common case, go
    // straight into place in one pass without branches (it vectorises); text
    // with any other character is walked instead.
    const std::size_t start = out.size();
    out.resize(start + wide.size() * 2);
    std::uint8_t* p = out.data() + start;
    std::uint32_t other = 0;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const auto c = static_cast<std::uint32_t>(wide[i]);
        other |= static_cast<std::uint32_t>(c - 0xD800 < 0x800) | static_cast<std::uint32_t>(c > 0xFFFF);
        if constexpr (std::endian::native == std::endian::little) {
            const auto unit = static_cast<std::uint16_t>(c);
            std::memcpy(p + 2 * i, &unit, sizeof unit);
        } else {
            p[2 * i] = static_cast<std::uint8_t>(c & 0xFF);
            p[2 * i + 1] = static_cast<std::uint8_t>((c >> 8) & 0xFF);
        }
    }
    if (other == 0) {
        return;
    }
    out.resize(start);
    out.reserve(start + wide.size() * 2);
    const auto put = [&out](char32_t unit) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    };
    walk_wide(wide, [&](const std::optional<char32_t>& cp) {
        char32_t c = cp ? *cp : kReplacementChar;
        if (c >= 0x10000) {
            c -= 0x10000;
            put(0xD800 + (c >> 10));
            put(0xDC00 + (c & 0x3FF));
        } else {
            put(c);
        }
    });
}

std::vector<std::uint8_t> wide_to_utf16le(std::wstring_view wide) {
    std::vector<std::uint8_t> out;
    append_wide_to_utf16le(out, wide);
    return out;
}

std::size_t utf16_length(std::wstring_view wide) {
    if constexpr (kWideIsUtf16) {
        return wide.size();
    } else {
        std::size_t n = 0;
        for (wchar_t c : wide) {
            // Beyond the BMP: 0x10000..0x10FFFF (one unsigned comparison, which
            // also compiles warning-free where wchar_t has 16 bits).
            n += static_cast<std::uint32_t>(c) - 0x10000u <= 0xFFFFFu ? 2 : 1;
        }
        return n;
    }
}

}  // namespace rk::text
