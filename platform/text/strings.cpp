#include "platform/text/strings.h"

#include <cwctype>
#ifndef _WIN32
#include <locale.h>
#include <wctype.h>
#endif

namespace rk::text {
namespace {

#ifndef _WIN32
// Case mapping must not depend on the process locale, which is "C" unless
// someone calls setlocale; the C.UTF-8 tables cover all of Unicode.
locale_t utf8_locale() {
    static const locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return loc;
}
wint_t fold_lower(wint_t c) { return utf8_locale() ? towlower_l(c, utf8_locale()) : c; }
wint_t fold_upper(wint_t c) { return utf8_locale() ? towupper_l(c, utf8_locale()) : c; }
#else
wint_t fold_lower(wint_t c) { return std::towlower(c); }
wint_t fold_upper(wint_t c) { return std::towupper(c); }
#endif

}  // namespace

wchar_t to_lower(wchar_t c) {
    if (c < 0x80) {
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
    }
    return static_cast<wchar_t>(fold_lower(static_cast<wint_t>(c)));
}

wchar_t to_upper(wchar_t c) {
    if (c < 0x80) {
        return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
    }
    return static_cast<wchar_t>(fold_upper(static_cast<wint_t>(c)));
}

std::wstring to_lower(std::wstring_view s) {
    std::wstring out(s);
    for (wchar_t& c : out) c = to_lower(c);
    return out;
}

std::wstring to_upper(std::wstring_view s) {
    std::wstring out(s);
    for (wchar_t& c : out) c = to_upper(c);
    return out;
}

std::string to_lower_ascii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
}

bool iequals(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (to_lower(a[i]) != to_lower(b[i])) return false;
    }
    return true;
}

bool istarts_with(std::wstring_view s, std::wstring_view prefix) {
    return s.size() >= prefix.size() && iequals(s.substr(0, prefix.size()), prefix);
}

bool iends_with(std::wstring_view s, std::wstring_view suffix) {
    return s.size() >= suffix.size() && iequals(s.substr(s.size() - suffix.size()), suffix);
}

namespace {
template <typename Ch>
bool is_blank(Ch c) {
    return c == Ch(' ') || c == Ch('\t') || c == Ch('\r') || c == Ch('\n') || c == Ch('\v') || c == Ch('\f');
}
}  // namespace

std::wstring_view trim_left(std::wstring_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    return s;
}

std::wstring_view trim_right(std::wstring_view s) {
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

std::wstring_view trim(std::wstring_view s) { return trim_right(trim_left(s)); }

std::string_view trim(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

std::vector<std::wstring> split(std::wstring_view s, wchar_t separator) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t pos = s.find(separator, start);
        if (pos == std::wstring_view::npos) {
            parts.emplace_back(s.substr(start));
            return parts;
        }
        parts.emplace_back(s.substr(start, pos - start));
        start = pos + 1;
    }
}

std::string to_hex(std::span<const std::uint8_t> bytes, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0xF]);
    }
    return out;
}

std::wstring to_hex_wide(std::span<const std::uint8_t> bytes, bool upper) {
    const std::string narrow = to_hex(bytes, upper);
    return std::wstring(narrow.begin(), narrow.end());
}

namespace {
int hex_value(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

template <typename View>
std::optional<std::vector<std::uint8_t>> decode_hex(View hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = hex_value(static_cast<wchar_t>(static_cast<unsigned char>(hex[i])));
        const int lo = hex_value(static_cast<wchar_t>(static_cast<unsigned char>(hex[i + 1])));
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return out;
}
}  // namespace

std::optional<std::vector<std::uint8_t>> from_hex(std::string_view hex) { return decode_hex(hex); }

std::optional<std::vector<std::uint8_t>> from_hex(std::wstring_view hex) {
    for (wchar_t c : hex) {
        if (c > 0x7F) return std::nullopt;
    }
    std::string narrow(hex.begin(), hex.end());
    return decode_hex(std::string_view(narrow));
}

}  // namespace rk::text
