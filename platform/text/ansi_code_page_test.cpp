#include "platform/text/ansi_code_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rk::text {
namespace {

TEST(AnsiCodePage, Windows1252Bytes) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::wstring text;
    };
    const Case cases[] = {
        {{}, L""},
        {{'A', 'z', '0', 0x7F}, L"Az0\x7F"},
        {{0x80, 0x9F, 0x8A}, L"\x20AC\x0178\x0160"},
        {{0x81, 0x8D, 0x8F, 0x90, 0x9D}, L"\x81\x8D\x8F\x90\x9D"},
        {{0xA0, 0xE9, 0xFF}, L"\xA0\xE9\xFF"},
        {{'a', 0x00, 'b'}, std::wstring(L"a\0b", 3)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ansi_to_wide(c.bytes), c.text);
    }
}

}  // namespace
}  // namespace rk::text
