#include "platform/text/numeric.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "platform/text/utf.h"

namespace rk::text {
namespace {

// Texts that exercise white space, signs, prefixes, digit runs and range
// edges. No "0b": newer C runtimes read it as a binary prefix.
const char* const kTexts[] = {
    "0", "42", "  42abc", "\t\n\v\f\r 7", "+5", "-17", "-0", "", " ", "-", "+", "abc", "- 1", "+-1",
    "2147483647", "2147483648", "-2147483648", "-2147483649", "4294967295", "4294967296", "-4294967295",
    "9223372036854775807", "9223372036854775808", "-9223372036854775808", "-9223372036854775809",
    "18446744073709551615", "18446744073709551616", "99999999999999999999999", "-99999999999999999999999",
    "0x1F", "0X1f", "0x", "0xg", "-0x10", "0x7fffffff", "0x80000000", "0xFFFFFFFFFFFFFFFF", "0x1FFFFFFFFFFFFFFFF",
    "010", "019", "08", "z", "Zz", "7fffffffffffffff", "12 34", "1e5", "3.7",
};
const int kBases[] = {10, 0, 16, 8, 2, 36};

struct Reference {
    long long value;
    bool range;
    std::size_t consumed;
};

// glibc's strtoll: its end pointer and errno are the C runtime's meaning.
Reference runtime_strtoll(const std::string& text, int base) {
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, base);
    return {v, errno == ERANGE, static_cast<std::size_t>(end - text.c_str())};
}

// The 64-bit parses match glibc's strtoll (a 64-bit long long, as Windows'
// 64-bit functions). Windows' wcstol has a 32-bit long: the value of the same
// digits clamped to INT32_MIN..INT32_MAX, ERANGE when it had to clamp, the
// same end pointer.
TEST(Numeric, ParsesMatchTheCRuntime) {
    for (const char* text : kTexts) {
        for (int base : kBases) {
            SCOPED_TRACE(testing::Message() << '"' << text << "\" base " << base);
            const Reference want = runtime_strtoll(text, base);
            const auto expected = std::tie(want.value, want.range, want.consumed);
            const ParseResult64 narrow = strtoll_like(text, base);
            EXPECT_EQ(std::tie(narrow.value, narrow.out_of_range, narrow.consumed), expected);
            const ParseResult64 wide = wcstoll_like(utf8_to_wide(text), base);
            EXPECT_EQ(std::tie(wide.value, wide.out_of_range, wide.consumed), expected);
            const long long clamped = std::clamp<long long>(want.value, INT32_MIN, INT32_MAX);
            const ParseResult32 r = wcstol_like(utf8_to_wide(text), base);
            EXPECT_EQ(std::tie(r.value, r.out_of_range, r.consumed),
                      std::tuple(clamped, want.range || clamped != want.value, want.consumed));
        }
    }
}

TEST(Numeric, WcstoulLikeIsThirtyTwoBitsWithNegation) {
    struct Case {
        const wchar_t* text;
        int base;
        std::uint32_t value;
        bool range;
        std::size_t consumed;
    };
    const Case cases[] = {
        {L"4294967295", 10, 4294967295u, false, 10},
        {L"4294967296", 10, 4294967295u, true, 10},
        {L"-1", 10, 4294967295u, false, 2},
        {L"-4294967295", 10, 1u, false, 11},
        {L"-4294967296", 10, 4294967295u, true, 11},
        {L" +12x", 10, 12u, false, 4},
        {L"0xFFFFFFFF", 0, 4294967295u, false, 10},
        {L"0x100000000", 16, 4294967295u, true, 11},
        {L"077", 0, 63u, false, 3},
        {L"", 10, 0u, false, 0},
        {L"-", 10, 0u, false, 0},
        {L"99999999999999999999999", 10, 4294967295u, true, 23},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(wide_to_utf8(c.text));
        const ParseResultU32 r = wcstoul_like(c.text, c.base);
        EXPECT_EQ(std::tie(r.value, r.out_of_range, r.consumed), std::tie(c.value, c.range, c.consumed));
    }
}

TEST(Numeric, InvalidBasesParseNothing) {
    for (int base : {-1, 1, 37, 100}) {
        SCOPED_TRACE(base);
        EXPECT_EQ(wcstol_like(L"-12", base).consumed, 0u);
        EXPECT_EQ(wcstol_like(L"-12", base).value, 0);
        EXPECT_EQ(strtoll_like("12", base).consumed, 0u);
    }
}

TEST(Numeric, NonAsciiCharactersAreNotDigits) {
    // Arabic-Indic three, full-width one, and a wchar_t whose low byte is '5'.
    EXPECT_EQ(wcstol_like(L"\u0663").consumed, 0u);
    EXPECT_EQ(wcstol_like(L"\uff11").consumed, 0u);
    EXPECT_EQ(wcstol_like(std::wstring(1, static_cast<wchar_t>(0x135))).consumed, 0u);
    EXPECT_EQ(strtoll_like("1\xc3\xa9").consumed, 1u);
    EXPECT_EQ(wtoi(L"  -42 apples"), -42);
    EXPECT_EQ(wtoi(L"apples"), 0);
    EXPECT_EQ(wtoi(L"99999999999"), INT32_MAX);
}

TEST(Numeric, ExactParsesRejectAnyExtraCharacter) {
    struct Case {
        const wchar_t* text;
        std::optional<std::int64_t> int64;
        std::optional<std::uint64_t> uint64;
        std::optional<std::uint32_t> uint32;
    };
    const Case cases[] = {
        {L"0", 0, 0u, 0u},
        {L"-12", -12, std::nullopt, std::nullopt},
        {L"+12", 12, std::nullopt, std::nullopt},
        {L" 12", std::nullopt, std::nullopt, std::nullopt},
        {L"12 ", std::nullopt, std::nullopt, std::nullopt},
        {L"", std::nullopt, std::nullopt, std::nullopt},
        {L"-", std::nullopt, std::nullopt, std::nullopt},
        {L"0x10", std::nullopt, std::nullopt, std::nullopt},
        {L"4294967295", 4294967295, 4294967295u, 4294967295u},
        {L"4294967296", 4294967296, 4294967296u, std::nullopt},
        {L"9223372036854775807", INT64_MAX, 9223372036854775807u, std::nullopt},
        {L"9223372036854775808", std::nullopt, 9223372036854775808u, std::nullopt},
        {L"-9223372036854775808", INT64_MIN, std::nullopt, std::nullopt},
        {L"18446744073709551615", std::nullopt, UINT64_MAX, std::nullopt},
        {L"18446744073709551616", std::nullopt, std::nullopt, std::nullopt},
        {L"007", 7, 7u, 7u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(wide_to_utf8(c.text));
        EXPECT_EQ(parse_int64_exact(c.text), c.int64);
        EXPECT_EQ(parse_uint64_exact(c.text), c.uint64);
        EXPECT_EQ(parse_uint32_exact(c.text), c.uint32);
    }
}

TEST(Numeric, DigitClasses) {
    struct Case {
        const wchar_t* text;
        bool decimal;
        bool hex;
    };
    const Case cases[] = {
        {L"0123456789", true, true}, {L"abcdefABCDEF", false, true}, {L"", false, false},
        {L"12g", false, false},      {L"-1", false, false},          {L" 1", false, false},
        {L"\uff11", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(wide_to_utf8(c.text));
        EXPECT_EQ(is_decimal_digits(c.text), c.decimal);
        EXPECT_EQ(is_hex_digits(c.text), c.hex);
    }
}

}  // namespace
}  // namespace rk::text
