#include "platform/text/format.h"

#include <gtest/gtest.h>

namespace rk::text {
namespace {

TEST(Format, WindowsWidthsOfStringDirectives) {
    const std::string narrow = "n";
    const std::wstring wide = L"w";
    EXPECT_EQ(format(L"%s|%hs|%ls|%S", wide, narrow, wide, narrow), L"w|n|w|n");
    // Any string type is accepted by any string directive.
    EXPECT_EQ(format(L"%hs %s", wide, narrow), L"w n");
    EXPECT_EQ(format("%s %ls", "a", L"\u00e9"), "a \xc3\xa9");
}

TEST(Format, IntegersCutToTheDirectiveWidth) {
    EXPECT_EQ(format(L"%d", -1), L"-1");
    EXPECT_EQ(format(L"%u", -1), L"4294967295");
    EXPECT_EQ(format(L"%lu", std::uint64_t{0x100000001}), L"1");  // long is 32 bits
    EXPECT_EQ(format(L"%llu", std::uint64_t{0x100000001}), L"4294967297");
    EXPECT_EQ(format(L"%hu", 70000), L"4464");
    EXPECT_EQ(format(L"%zd", std::int64_t{-5000000000}), L"-5000000000");
    EXPECT_EQ(format(L"%08X|%#lx|%0.3lu|%5d|%-5d|", 0xBEEFu, 255u, 7u, 42, 42), L"0000BEEF|0xff|007|   42|42   |");
}

TEST(Format, NeverReadsPastItsArguments) {
    EXPECT_EQ(format(L"a %s b %d c"), L"a %s b %d c");
    EXPECT_EQ(format(L"%d %d", 1), L"1 %d");
    EXPECT_EQ(format(L"%.*ls", 2), L"%.*ls");
    EXPECT_EQ(format(L"100%"), L"100%");
    EXPECT_EQ(format(L"%n", 1), L"%n");
}

TEST(Format, MismatchesPrintSomethingSensible) {
    EXPECT_EQ(format(L"%d", L"text"), L"text");
    EXPECT_EQ(format(L"%s", 12), L"12");
    EXPECT_EQ(format(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)");
}

}  // namespace
}  // namespace rk::text
