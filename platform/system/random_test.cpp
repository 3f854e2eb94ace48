#include "platform/system/random.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace rk::sys {
namespace {

// Sizes around getrandom's 256-byte atomic limit, and a large one that the
// kernel may hand out in parts.
TEST(RandomBytes, FillsEveryByteForAnySize) {
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4}, std::size_t{256}, std::size_t{257},
                                   std::size_t{1} << 20}) {
        std::vector<std::uint8_t> buffer(size, 0);
        ASSERT_EQ(random_bytes(buffer), 0u) << size;
        if (size >= 256) {
            // All-zero output of 256 random bytes would mean nothing was written.
            std::set<std::uint8_t> distinct(buffer.begin(), buffer.end());
            EXPECT_GT(distinct.size(), 100u) << size;
        }
    }
}

// Version 4, variant 1 (RFC 4122) in the braced text form, every one new.
TEST(CreateGuid, RandomVersion4) {
    std::set<std::wstring> seen;
    for (int i = 0; i < 200; ++i) {
        win::GUID guid;
        ASSERT_EQ(create_guid(guid), 0);
        const std::wstring text = win::guid_to_string(guid);
        ASSERT_EQ(text.size(), 38u);
        EXPECT_EQ(text[15], L'4') << text;
        EXPECT_NE(std::wstring(L"89AB").find(text[20]), std::wstring::npos) << text;
        EXPECT_TRUE(seen.insert(text).second) << text;
    }
}

}  // namespace
}  // namespace rk::sys
