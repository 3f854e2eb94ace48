// Calendar time conversions: the SYSTEMTIME range, days of the week and
// year, and local time with daylight saving.
#include "platform/system/calendar_time.h"

#include <gtest/gtest.h>

#include <ctime>

#include "platform/system/test/temp_root.h"

namespace rk::sys {
namespace {

TEST(CalendarTime, UtcAcrossTheRangeSystemTimeHolds) {
    const struct {
        std::int64_t seconds;
        bool ok;
        CalendarTime expected;
    } cases[] = {
        {0, true, {1970, 1, 1, 0, 0, 0, 4, 0}},
        {-1, true, {1969, 12, 31, 23, 59, 59, 3, 364}},
        {951782400, true, {2000, 2, 29, 0, 0, 0, 2, 59}},
        {4102444799, true, {2099, 12, 31, 23, 59, 59, 4, 364}},
        {-11644473600, true, {1601, 1, 1, 0, 0, 0, 1, 0}},
        {910670515199, true, {30827, 12, 31, 23, 59, 59, 5, 364}},
        {-11644473601, false, {}},  // 1600
        {910670515200, false, {}},  // 30828
    };
    for (const auto& c : cases) {
        CalendarTime t;
        ASSERT_EQ(utc_calendar_time(c.seconds, t), c.ok) << c.seconds;
        if (c.ok) {
            EXPECT_EQ(t, c.expected) << c.seconds;
        }
    }
}

TEST(CalendarTime, LocalTimeFollowsTheZoneAndItsDaylightSaving) {
    struct ZoneReread {
        ~ZoneReread() { ::tzset(); }  // after TZ is restored
    } reread;
    test::ScopedEnv zone("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    ::tzset();
    const struct {
        std::int64_t utc_seconds;
        int hour;  // local
    } cases[] = {
        {1767268800, 13},  // 2026-01-01 12:00 UTC: CET
        {1782907200, 14},  // 2026-07-01 12:00 UTC: CEST
    };
    for (const auto& c : cases) {
        CalendarTime local;
        ASSERT_TRUE(local_calendar_time(c.utc_seconds, local));
        EXPECT_EQ(local.hour, c.hour) << c.utc_seconds;
        std::int64_t back = 0;
        ASSERT_TRUE(unix_time_of_local(local, back));
        EXPECT_EQ(back, c.utc_seconds);
    }
    // %z of a summer date says the summer offset, whatever today is.
    std::tm summer{};
    summer.tm_year = 126;
    summer.tm_mon = 6;
    summer.tm_mday = 1;
    summer.tm_hour = 12;
    ASSERT_TRUE(set_local_zone_fields(summer));
    char text[16];
    ASSERT_GT(std::strftime(text, sizeof text, "%z %Z", &summer), 0u);
    EXPECT_STREQ(text, "+0200 CEST");
}

}  // namespace
}  // namespace rk::sys
