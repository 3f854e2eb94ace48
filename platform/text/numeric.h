// Numeric conversions with the C runtime meanings that configuration and
// document texts rely on (the Windows C runtime: long is 32 bits).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace rk::text {

struct ParseResult32 {
    std::int32_t value = 0;
    bool out_of_range = false;  // errno == ERANGE; value is clamped
    std::size_t consumed = 0;   // 0 when no digits were found
};

struct ParseResult64 {
    std::int64_t value = 0;
    bool out_of_range = false;
    std::size_t consumed = 0;
};

struct ParseResultU32 {
    std::uint32_t value = 0;
    bool out_of_range = false;
    std::size_t consumed = 0;
};

// wcstol: leading white space, optional sign, the longest run of digits in
// `base` (0: auto-detect "0x"/"0" prefixes), stop at the first other
// character; clamps to INT32_MIN/INT32_MAX with out_of_range.
ParseResult32 wcstol_like(std::wstring_view text, int base = 10);
// wcstoul: as above, 32-bit unsigned; a leading '-' negates modulo 2^32.
ParseResultU32 wcstoul_like(std::wstring_view text, int base = 10);
// wcstoll / strtoll: 64-bit signed.
ParseResult64 wcstoll_like(std::wstring_view text, int base = 10);
ParseResult64 strtoll_like(std::string_view text, int base = 10);

// _wtoi: wcstol base 10 with the value only (0 when no digits).
std::int32_t wtoi(std::wstring_view text);

// Whole text is an optionally signed base-10 number that fits; no white
// space, no trailing characters.
std::optional<std::int64_t> parse_int64_exact(std::wstring_view text);
std::optional<std::uint64_t> parse_uint64_exact(std::wstring_view text);
std::optional<std::uint32_t> parse_uint32_exact(std::wstring_view text);

// Whole text is made of hexadecimal digits only.
bool is_hex_digits(std::wstring_view text);
bool is_decimal_digits(std::wstring_view text);

}  // namespace rk::text
