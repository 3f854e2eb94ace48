// Converting between seconds since 1970 and calendar time
// (FileTimeToSystemTime, SystemTimeToTzSpecificLocalTime and back), and the
// time since the system started (GetTickCount64).
#pragma once

#include <cstdint>
#include <ctime>

namespace rk::sys {

// SYSTEMTIME's fields: month 1-12, day 1-31, day_of_week 0 (Sunday) to 6;
// day_of_year 0-365 stands for what struct tm adds.
struct CalendarTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int day_of_week = 4;
    int day_of_year = 0;
    friend bool operator==(const CalendarTime&, const CalendarTime&) = default;
};

// The same fields as struct tm (for wcsftime; no daylight-saving or zone
// fields set).
inline std::tm to_tm(const CalendarTime& time) {
    std::tm parts{};
    parts.tm_year = time.year - 1900;
    parts.tm_mon = time.month - 1;
    parts.tm_mday = time.day;
    parts.tm_hour = time.hour;
    parts.tm_min = time.minute;
    parts.tm_sec = time.second;
    parts.tm_wday = time.day_of_week;
    parts.tm_yday = time.day_of_year;
    return parts;
}

// UTC calendar time of `unix_seconds`; false outside years 1601-30827,
// the range SYSTEMTIME holds.
bool utc_calendar_time(std::int64_t unix_seconds, CalendarTime& out);

// The local time zone's calendar time of `unix_seconds` (daylight saving
// as the zone had it then); false outside the range above.
bool local_calendar_time(std::int64_t unix_seconds, CalendarTime& out);

// The seconds since 1970 of a local calendar time (day_of_week and
// day_of_year ignored; fields out of range are carried over, as mktime
// does; a time in a daylight-saving change is resolved by the system).
// False when the system cannot represent it.
bool unix_time_of_local(const CalendarTime& local, std::int64_t& unix_seconds);

// Sets the fields of `local` (a local calendar time) that wcsftime's %z and
// %Z read: daylight saving, and where the C library has them the zone's
// offset and abbreviation, as the zone had them at that time. The date and
// time fields stay as they are. False when the system cannot place it.
bool set_local_zone_fields(std::tm& local);

// GetTickCount64: milliseconds since the system started, time spent
// suspended included.
std::uint64_t milliseconds_since_boot();

}  // namespace rk::sys
