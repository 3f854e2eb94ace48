#include "platform/text/strings.h"

#include <gtest/gtest.h>

namespace rk::text {
namespace {

TEST(Strings, CaseAndTrim) {
    EXPECT_TRUE(iequals(L"HKEY_Local", L"hkey_LOCAL"));
    EXPECT_FALSE(iequals(L"a", L"ab"));
    EXPECT_EQ(to_lower(L"\u00c9A"), L"\u00e9a");
    EXPECT_EQ(trim(std::wstring_view(L" \t x y \r\n")), L"x y");
    EXPECT_EQ(split(L"a,,b", L','), (std::vector<std::wstring>{L"a", L"", L"b"}));
}

TEST(Strings, Hex) {
    const std::vector<std::uint8_t> bytes = {0x00, 0xAB, 0xff};
    EXPECT_EQ(to_hex(bytes), "00abff");
    EXPECT_EQ(from_hex(std::string_view("00ABff")), bytes);
    EXPECT_FALSE(from_hex(std::string_view("abc")));
    EXPECT_FALSE(from_hex(std::string_view("zz")));
    EXPECT_FALSE(from_hex(std::wstring_view(L"\u0100\u0100")));
}

}  // namespace
}  // namespace rk::text
