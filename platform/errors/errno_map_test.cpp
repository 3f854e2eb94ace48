#include "platform/errors/errno_map.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace rk::win {
namespace {

// The rows a table can get wrong: names that share a value on some systems
// (the first row for a value must not shadow a later different mapping),
// values without a counterpart, and success.
TEST(ErrnoMapTest, SharedNamesUnmappedValuesAndSuccess) {
    const struct {
        int err;
        DWORD expected;
    } cases[] = {
        {EAGAIN, 170},  // ERROR_BUSY
        {EWOULDBLOCK, 170},
        {ENOTSUP, 50},  // ERROR_NOT_SUPPORTED
        {EOPNOTSUPP, 50},
        {ENOSPC, 112},  // ERROR_DISK_FULL, as a full quota
        {EDQUOT, 112},
        {EDEADLK, 1},   // ERROR_INVALID_FUNCTION: no counterpart
        {0, 0},
        {EDOM, 1},
        {-1, 1},
        {100000, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(from_errno(c.err), c.expected) << "errno " << c.err;
    }
}

}  // namespace
}  // namespace rk::win
