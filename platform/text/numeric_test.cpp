#include "platform/text/numeric.h"

#include <gtest/gtest.h>

namespace rk::text {
namespace {

TEST(Numeric, WcstolLikeFollowsTheWindowsRuntime) {
    struct Case {
        const wchar_t* text;
        std::int32_t value;
        bool range;
        std::size_t consumed;
    };
    const Case cases[] = {
        {L"  42abc", 42, false, 4},
        {L"-17", -17, false, 3},
        {L"2147483648", INT32_MAX, true, 10},
        {L"-2147483649", INT32_MIN, true, 11},
        {L"abc", 0, false, 0},
        {L"-", 0, false, 0},
        {L"99999999999999999999999", INT32_MAX, true, 23},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.text, c.text + wcslen(c.text)));
        const auto r = wcstol_like(c.text);
        EXPECT_EQ(r.value, c.value);
        EXPECT_EQ(r.out_of_range, c.range);
        EXPECT_EQ(r.consumed, c.consumed);
    }
    EXPECT_EQ(wcstol_like(L"0x1F", 16).value, 31);
    EXPECT_EQ(wcstol_like(L"0x1F", 0).value, 31);
    EXPECT_EQ(wcstoul_like(L"-1").value, 0xFFFFFFFFu);
    EXPECT_TRUE(strtoll_like("9223372036854775808").out_of_range);
}

TEST(Numeric, ExactParsesRejectAnyExtraCharacter) {
    EXPECT_EQ(parse_int64_exact(L"-12"), -12);
    EXPECT_FALSE(parse_int64_exact(L" 12"));
    EXPECT_FALSE(parse_int64_exact(L"12 "));
    EXPECT_FALSE(parse_int64_exact(L""));
    EXPECT_FALSE(parse_int64_exact(L"-"));
    EXPECT_FALSE(parse_uint32_exact(L"4294967296"));
    EXPECT_EQ(parse_uint32_exact(L"4294967295"), 4294967295u);
}

}  // namespace
}  // namespace rk::text
