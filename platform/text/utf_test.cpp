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

struct BadUtf8 {
    const char* name;
    std::string bytes;
};

TEST(Utf, StrictRejectsAndLenientReplacesMalformedUtf8) {
    const BadUtf8 cases[] = {
        {"lone continuation", "a\x80z"},
        {"overlong slash", "a\xc0\xafz"},
        {"encoded surrogate", "a\xed\xa0\x80z"},
        {"above U+10FFFF", "a\xf4\x90\x80\x80z"},
        {"cut short", "a\xe4\xb8"},
        {"invalid lead", "a\xffz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(utf8_to_wide_strict(c.bytes).has_value());
        const std::wstring lenient = utf8_to_wide(c.bytes);
        EXPECT_EQ(lenient.front(), L'a');
        EXPECT_NE(lenient.find(static_cast<wchar_t>(kReplacementChar)), std::wstring::npos);
    }
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
}

}  // namespace
}  // namespace rk::text
