#include "platform/system/codesign/der_reader.h"

#include <gtest/gtest.h>

#include <vector>

namespace rk::sys::codesign {
namespace {

struct DerCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool ok;
    std::size_t whole = 0;
    std::size_t contents = 0;
};

// Signature blobs and SpcIndirectDataContent come from the file: every
// length is attacker-controlled.
TEST(DerReader, LengthsAreBoundedByTheInput) {
    const DerCase cases[] = {
        {"short form", {0x30, 0x02, 0x05, 0x00}, true, 4, 2},
        {"trailing bytes are not part of the element", {0x04, 0x01, 0xAA, 0xBB}, true, 3, 1},
        {"long form one octet", {0x04, 0x81, 0x01, 0xAA}, true, 4, 1},
        {"long form four octets", {0x04, 0x84, 0x00, 0x00, 0x00, 0x01, 0xAA}, true, 7, 1},
        {"empty contents", {0x05, 0x00}, true, 2, 0},
        {"length past the end", {0x30, 0x03, 0x05, 0x00}, false},
        {"long length past the end", {0x30, 0x84, 0xFF, 0xFF, 0xFF, 0xF0, 0x00}, false},
        {"indefinite length", {0x30, 0x80, 0x00, 0x00}, false},
        {"five length octets", {0x04, 0x85, 0, 0, 0, 0, 1, 0xAA}, false},
        {"length octets cut short", {0x04, 0x82, 0x01}, false},
        {"multi-octet tag", {0x1F, 0x81, 0x01, 0x00}, false},
        {"one byte", {0x30}, false},
        {"nothing", {}, false},
    };
    for (const auto& c : cases) {
        const auto e = read_der(c.bytes);
        ASSERT_EQ(e.has_value(), c.ok) << c.name;
        if (e) {
            EXPECT_EQ(e->whole.size(), c.whole) << c.name;
            EXPECT_EQ(e->contents.size(), c.contents) << c.name;
        }
    }
}

TEST(DerReader, CursorStopsAtTheFirstMismatch) {
    const std::vector<std::uint8_t> seq = {0x06, 0x01, 0x2A, 0x04, 0x02, 0x01, 0x02};
    DerCursor cursor(seq);
    EXPECT_FALSE(cursor.next(der_tag::kOctetString).has_value());  // wrong tag: no advance
    ASSERT_TRUE(cursor.next(der_tag::kOid).has_value());
    const auto octets = cursor.next(der_tag::kOctetString);
    ASSERT_TRUE(octets.has_value());
    EXPECT_EQ(octets->contents.size(), 2u);
    EXPECT_TRUE(cursor.empty());
    EXPECT_FALSE(cursor.next_any().has_value());
}

}  // namespace
}  // namespace rk::sys::codesign
