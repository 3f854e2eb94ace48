#include "platform/text/utf.h"

#include <gtest/gtest.h>

namespace rk::text {
namespace {

TEST(Utf, RoundTripsAllPlanes) {
    const std::wstring wide = L"a\u00e9\u4e2d\U0001F600z";
    const std::string utf8 = wide_to_utf8(wide);
    EXPECT_EQ(utf8, "a\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80z");
    EXPECT_EQ(utf8_to_wide_strict(utf8), wide);
    const auto le = wide_to_utf16le(wide);
    EXPECT_EQ(le.size(), 2u * 6);  // the emoji takes a surrogate pair
    EXPECT_EQ(utf16le_to_wide_strict(le), wide);
    EXPECT_EQ(utf16_length(wide), 6u);
}

TEST(Utf, UnpairedSurrogates) {
    const std::vector<std::uint8_t> lone_high = {'a', 0, 0x00, 0xD8, 'b', 0};
    EXPECT_FALSE(utf16le_to_wide_strict(lone_high).has_value());
    EXPECT_EQ(utf16le_to_wide(lone_high), std::wstring(L"a\uFFFDb"));
    const std::vector<std::uint8_t> odd = {'a', 0, 'b'};
    EXPECT_FALSE(utf16le_to_wide_strict(odd).has_value());
    EXPECT_EQ(utf16le_to_wide(odd), std::wstring(L"a\uFFFD"));
    std::wstring bad_wide = L"x";
    bad_wide.push_back(static_cast<wchar_t>(0xDC00));
    EXPECT_FALSE(wide_to_utf8_strict(bad_wide).has_value());
    EXPECT_EQ(wide_to_utf8(bad_wide), "x\xef\xbf\xbd");
    bad_wide.push_back(L'y');
    EXPECT_EQ(wide_to_utf16le(bad_wide), (std::vector<std::uint8_t>{'x', 0, 0xFD, 0xFF, 'y', 0}));
}

TEST(Utf, EncodingBoundaries) {
    struct Case {
        char32_t cp;
        std::string utf8;
        std::size_t utf16_units;
    };
    const Case cases[] = {
        {0x00, std::string(1, '\0'), 1},
        {0x7F, "\x7f", 1},
        {0x80, "\xc2\x80", 1},
        {0x7FF, "\xdf\xbf", 1},
        {0x800, "\xe0\xa0\x80", 1},
        {0xD7FF, "\xed\x9f\xbf", 1},
        {0xE000, "\xee\x80\x80", 1},
        {0xFFFD, "\xef\xbf\xbd", 1},
        {0xFFFF, "\xef\xbf\xbf", 1},
        {0x10000, "\xf0\x90\x80\x80", 2},
        {0x10FFFF, "\xf4\x8f\xbf\xbf", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<unsigned>(c.cp));
        const std::wstring wide(1, static_cast<wchar_t>(c.cp));
        EXPECT_EQ(wide_to_utf8_strict(wide), c.utf8);
        EXPECT_EQ(utf8_to_wide_strict(c.utf8), wide);
        EXPECT_TRUE(is_valid_utf8("abcdefgh" + c.utf8));
        EXPECT_EQ(utf16_length(wide), c.utf16_units);
        const std::u16string units = wide_to_utf16(wide);
        EXPECT_EQ(units.size(), c.utf16_units);
        EXPECT_EQ(utf16_to_wide_strict(units), wide);
        EXPECT_EQ(utf16le_to_wide_strict(wide_to_utf16le(wide)), wide);
    }
}

// A lenient decoder replaces each maximal bad prefix once and resumes at the
// next byte that can start a character, so good text after it survives; the
// strict one refuses every malformed text.
TEST(Utf, LenientDecodingResynchronisesAndStrictRefuses) {
    struct Case {
        const char* name;
        std::string bytes;
        std::wstring wide;
    };
    const Case cases[] = {
        {"two stray continuations", "\x80\x80z", L"\uFFFD\uFFFDz"},
        {"lead then ASCII", "\xe4z", L"\uFFFDz"},
        {"two-thirds of a sequence then ASCII", "\xe4\xb8z", L"\uFFFDz"},
        {"cut short at the end", "a\xe4\xb8", L"a\uFFFD"},
        {"cut short after a run of ASCII", "abcdefghijklmnopq\xe4\xb8z", L"abcdefghijklmnopq\uFFFDz"},
        {"lead then a new sequence", "\xe4\xc3\xa9", L"\uFFFD\u00e9"},
        {"overlong three-byte", "\xe0\x80\xaf", L"\uFFFD\uFFFD\uFFFD"},
        {"overlong four-byte", "\xf0\x80\x80\xaf", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"encoded surrogate", "\xed\xa0\x80", L"\uFFFD\uFFFD\uFFFD"},
        {"above U+10FFFF", "\xf4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"lead beyond F4", "\xf5\x80\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"C0 and C1 leads", "\xc0\xc1", L"\uFFFD\uFFFD"},
        {"FE and FF", "\xfe\xff", L"\uFFFD\uFFFD"},
        {"embedded NUL kept", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf8_to_wide(c.bytes), c.wide);
        const bool valid = c.wide.find(L'\uFFFD') == std::wstring::npos;
        EXPECT_EQ(utf8_to_wide_strict(c.bytes).has_value(), valid);
        EXPECT_EQ(is_valid_utf8(c.bytes), valid);
    }
}

TEST(Utf, AppendFormsKeepWhatIsThere) {
    std::wstring wide = L">";
    append_utf8_to_wide(wide, "\xc3\xa9\xff");
    append_utf16_to_wide(wide, u"\U0001F600");
    EXPECT_EQ(wide, L">\u00e9\uFFFD\U0001F600");
    std::string narrow = ">";
    append_wide_to_utf8(narrow, L"\u00e9");
    append_utf16_to_utf8(narrow, std::u16string(1, static_cast<char16_t>(0xDFFF)));
    EXPECT_EQ(narrow, ">\xc3\xa9\xef\xbf\xbd");
}

}  // namespace
}  // namespace rk::text
