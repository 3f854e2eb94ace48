#include "platform/text/numeric.h"

#include <limits>

namespace rk::text {
namespace {

bool is_space(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

int digit_value(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'z') return c - L'a' + 10;
    if (c >= L'A' && c <= L'Z') return c - L'A' + 10;
    return 99;
}

struct Scan {
    bool negative = false;
    bool overflow = false;  // magnitude exceeded UINT64_MAX
    std::uint64_t magnitude = 0;
    std::size_t consumed = 0;
};

// The common scanner of the strto* family. `consumed` stays 0 when no digit
// follows the prefix, as the C functions then set *end to the start.
template <typename View>
Scan scan(View text, int base) {
    Scan s;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && is_space(static_cast<wchar_t>(text[i]))) ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        s.negative = text[i] == '-';
        ++i;
    }
    if ((base == 0 || base == 16) && i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        i + 2 < n && digit_value(static_cast<wchar_t>(text[i + 2])) < 16) {
        i += 2;
        base = 16;
    } else if (base == 0) {
        base = (i < n && text[i] == '0') ? 8 : 10;
    }
    if (base < 2 || base > 36) {
        return s;
    }
    const std::size_t digits_start = i;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    for (; i < n; ++i) {
        const int d = digit_value(static_cast<wchar_t>(text[i]));
        if (d >= base) break;
        if (s.magnitude > (kMax - static_cast<unsigned>(d)) / static_cast<unsigned>(base)) {
            s.overflow = true;
        } else {
            s.magnitude = s.magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        }
    }
    if (i > digits_start) {
        s.consumed = i;
    } else {
        s.negative = false;
    }
    return s;
}

template <typename Result, typename T>
Result clamp_signed(const Scan& s) {
    Result r;
    r.consumed = s.consumed;
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<T>::max());
    if (s.negative) {
        if (s.overflow || s.magnitude > kMax + 1) {
            r.value = std::numeric_limits<T>::min();
            r.out_of_range = true;
        } else {
            r.value = static_cast<T>(-static_cast<std::int64_t>(s.magnitude - 1) - 1);
        }
    } else if (s.overflow || s.magnitude > kMax) {
        r.value = std::numeric_limits<T>::max();
        r.out_of_range = true;
    } else {
        r.value = static_cast<T>(s.magnitude);
    }
    return r;
}

}  // namespace

ParseResult32 wcstol_like(std::wstring_view text, int base) {
    return clamp_signed<ParseResult32, std::int32_t>(scan(text, base));
}

ParseResult64 wcstoll_like(std::wstring_view text, int base) {
    return clamp_signed<ParseResult64, std::int64_t>(scan(text, base));
}

ParseResult64 strtoll_like(std::string_view text, int base) {
    return clamp_signed<ParseResult64, std::int64_t>(scan(text, base));
}

ParseResultU32 wcstoul_like(std::wstring_view text, int base) {
    const Scan s = scan(text, base);
    ParseResultU32 r;
    r.consumed = s.consumed;
    if (s.overflow || s.magnitude > std::numeric_limits<std::uint32_t>::max()) {
        r.value = std::numeric_limits<std::uint32_t>::max();
        r.out_of_range = true;
    } else {
        const auto v = static_cast<std::uint32_t>(s.magnitude);
        r.value = s.negative ? static_cast<std::uint32_t>(0u - v) : v;
    }
    return r;
}

std::int32_t wtoi(std::wstring_view text) { return wcstol_like(text, 10).value; }

bool is_decimal_digits(std::wstring_view text) {
    if (text.empty()) return false;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
    }
    return true;
}

bool is_hex_digits(std::wstring_view text) {
    if (text.empty()) return false;
    for (wchar_t c : text) {
        if (digit_value(c) >= 16) return false;
    }
    return true;
}

std::optional<std::int64_t> parse_int64_exact(std::wstring_view text) {
    std::wstring_view digits = text;
    if (!digits.empty() && (digits[0] == L'-' || digits[0] == L'+')) digits.remove_prefix(1);
    if (!is_decimal_digits(digits)) return std::nullopt;
    const ParseResult64 r = wcstoll_like(text, 10);
    if (r.out_of_range || r.consumed != text.size()) return std::nullopt;
    return r.value;
}

std::optional<std::uint64_t> parse_uint64_exact(std::wstring_view text) {
    if (!is_decimal_digits(text)) return std::nullopt;
    const Scan s = scan(text, 10);
    if (s.overflow || s.consumed != text.size()) return std::nullopt;
    return s.magnitude;
}

std::optional<std::uint32_t> parse_uint32_exact(std::wstring_view text) {
    const auto v = parse_uint64_exact(text);
    if (!v || *v > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    return static_cast<std::uint32_t>(*v);
}

}  // namespace rk::text
