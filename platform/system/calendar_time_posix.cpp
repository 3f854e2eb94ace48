#include "platform/system/calendar_time.h"

#include <time.h>

#include <cerrno>
#include <ctime>

namespace rk::sys {
namespace {

// SYSTEMTIME's wYear range.
constexpr int kMinYear = 1601;
constexpr int kMaxYear = 30827;

bool from_tm(const std::tm& parts, CalendarTime& out) {
    const int year = parts.tm_year + 1900;
    if (year < kMinYear || year > kMaxYear) {
        return false;
    }
    out.year = year;
    out.month = parts.tm_mon + 1;
    out.day = parts.tm_mday;
    out.hour = parts.tm_hour;
    out.minute = parts.tm_min;
    out.second = parts.tm_sec;
    out.day_of_week = parts.tm_wday;
    out.day_of_year = parts.tm_yday;
    return true;
}

}  // namespace

bool utc_calendar_time(std::int64_t unix_seconds, CalendarTime& out) {
    const auto t = static_cast<std::time_t>(unix_seconds);
    std::tm parts{};
    return ::gmtime_r(&t, &parts) != nullptr && from_tm(parts, out);
}

bool local_calendar_time(std::int64_t unix_seconds, CalendarTime& out) {
    const auto t = static_cast<std::time_t>(unix_seconds);
    std::tm parts{};
    return ::localtime_r(&t, &parts) != nullptr && from_tm(parts, out);
}

bool unix_time_of_local(const CalendarTime& local, std::int64_t& unix_seconds) {
    std::tm parts = to_tm(local);
    parts.tm_isdst = -1;
    // -1 is also the answer for 1969-12-31 23:59:59 UTC: only errno tells.
    errno = 0;
    const std::time_t t = std::mktime(&parts);
    if (t == static_cast<std::time_t>(-1) && errno != 0) {
        return false;
    }
    unix_seconds = static_cast<std::int64_t>(t);
    return true;
}

bool set_local_zone_fields(std::tm& local) {
    std::tm zone = local;
    zone.tm_isdst = -1;
    if (std::mktime(&zone) == static_cast<std::time_t>(-1)) {
        return false;
    }
    local.tm_isdst = zone.tm_isdst;
    local.tm_gmtoff = zone.tm_gmtoff;
    local.tm_zone = zone.tm_zone;
    return true;
}

std::uint64_t milliseconds_since_boot() {
    timespec now{};
    if (::clock_gettime(CLOCK_BOOTTIME, &now) != 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

}  // namespace rk::sys
