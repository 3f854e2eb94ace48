#include "xml_updater/substitutions/variant_date.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <cwchar>
#include <vector>

#include "platform/system/calendar_time.h"

namespace XMLUpdater::v2 {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// Days from 30 December 1899 to 1 January 1970.
constexpr std::int64_t kVariantEpochOffsetDays = 25569;
// strftime conversions of C (and POSIX) that glibc and the Windows runtime share.
constexpr std::wstring_view kStrftimeConversions = L"aAbBcCdDeFgGhHIjmMnprRStTuUVwWxXyYzZ%";
constexpr std::size_t kFormatCharsPerDirective = 8;
constexpr std::size_t kMinFormatBuffer = 256;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civil_from_days(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0));
}

bool is_leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap(year) ? 29 : kDays[month - 1];
}

std::optional<DateTimeParts> parts_from_calendar(const rk::sys::CalendarTime& t) {
    DateTimeParts p{t.year, t.month, t.day, t.hour, t.minute, t.second};
    if (p.second > 59) {
        p.second = 59;  // a leap second
    }
    return p;
}

bool valid_format(std::wstring_view format) {
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%') {
            continue;
        }
        if (i + 1 >= format.size() || kStrftimeConversions.find(format[i + 1]) == std::wstring_view::npos) {
            return false;
        }
        ++i;
    }
    return true;
}

}  // namespace

std::optional<double> variant_date_from_parts(const DateTimeParts& p) {
    if (p.year < kMinVariantYear || p.year > kMaxVariantYear || p.month < 1 || p.month > 12 || p.day < 1 ||
        p.day > days_in_month(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 ||
        p.second < 0 || p.second > 59) {
        return std::nullopt;
    }
    const std::int64_t days =
        days_from_civil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) + kVariantEpochOffsetDays;
    const std::int64_t seconds = std::int64_t{p.hour} * 3600 + p.minute * 60 + p.second;
    return static_cast<double>(days) + static_cast<double>(seconds) / kSecondsPerDay;
}

std::optional<DateTimeParts> parts_from_variant_date(double date) {
    if (!std::isfinite(date) || std::fabs(date) > 1e7) {
        return std::nullopt;
    }
    const auto total = static_cast<std::int64_t>(std::llround(date * kSecondsPerDay));
    std::int64_t days = total / kSecondsPerDay;
    std::int64_t seconds = total % kSecondsPerDay;
    if (seconds < 0) {
        seconds += kSecondsPerDay;
        --days;
    }
    DateTimeParts p;
    civil_from_days(days - kVariantEpochOffsetDays, p.year, p.month, p.day);
    if (p.year < kMinVariantYear || p.year > kMaxVariantYear) {
        return std::nullopt;
    }
    p.hour = static_cast<int>(seconds / 3600);
    p.minute = static_cast<int>(seconds / 60 % 60);
    p.second = static_cast<int>(seconds % 60);
    return p;
}

double local_now() {
    return variant_date_from_epoch(static_cast<std::int64_t>(std::time(nullptr))).value_or(0.0);
}

std::optional<double> variant_date_from_epoch(std::int64_t seconds) {
    rk::sys::CalendarTime local;
    if (!rk::sys::local_calendar_time(seconds, local)) {
        return std::nullopt;
    }
    const auto parts = parts_from_calendar(local);
    return parts ? variant_date_from_parts(*parts) : std::nullopt;
}

std::optional<std::int64_t> epoch_from_variant_date(double date) {
    const auto parts = parts_from_variant_date(date);
    if (!parts) {
        return std::nullopt;
    }
    rk::sys::CalendarTime local;
    local.year = parts->year;
    local.month = parts->month;
    local.day = parts->day;
    local.hour = parts->hour;
    local.minute = parts->minute;
    local.second = parts->second;
    std::int64_t seconds = 0;
    if (!rk::sys::unix_time_of_local(local, seconds)) {
        return std::nullopt;
    }
    return seconds;
}

bool variant_dates_equal(double a, double b) { return std::fabs(a - b) * kSecondsPerDay < 0.5; }

std::optional<std::wstring> format_variant_date(double date, std::wstring_view format) {
    const auto parts = parts_from_variant_date(date);
    if (!parts || !valid_format(format)) {
        return std::nullopt;
    }
    std::tm t{};
    t.tm_year = parts->year - 1900;
    t.tm_mon = parts->month - 1;
    t.tm_mday = parts->day;
    t.tm_hour = parts->hour;
    t.tm_min = parts->minute;
    t.tm_sec = parts->second;
    const std::int64_t days = days_from_civil(parts->year, static_cast<unsigned>(parts->month),
                                              static_cast<unsigned>(parts->day));
    t.tm_wday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    t.tm_yday = static_cast<int>(days - days_from_civil(parts->year, 1, 1));
    // Time-zone fields (for %z and %Z) from the system's view of that local
    // time; the date fields stay ours, so a DST gap cannot move them.
    rk::sys::set_local_zone_fields(t);
    const std::wstring pattern(format);
    std::vector<wchar_t> buffer(std::max(kMinFormatBuffer, pattern.size() * kFormatCharsPerDirective + 1));
    const std::size_t written = std::wcsftime(buffer.data(), buffer.size(), pattern.c_str(), &t);
    if (written == 0 && !pattern.empty()) {
        return std::nullopt;
    }
    return std::wstring(buffer.data(), written);
}

}  // namespace XMLUpdater::v2
