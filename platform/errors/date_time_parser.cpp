#include "platform/errors/date_time_parser.h"

#include <cstddef>
#include <optional>

#include "platform/errors/time_utils_error_category.h"

namespace dira_doro {
namespace {

// Offsets in "yyyy-MM-ddTHH:mm:ss.fff".
constexpr std::size_t kDateLength = 10;
constexpr std::size_t kDateTimeLength = 19;
constexpr std::size_t kMonthDash = 4;
constexpr std::size_t kDayDash = 7;
constexpr std::size_t kTimeMark = 10;
constexpr std::size_t kMinuteColon = 13;
constexpr std::size_t kSecondColon = 16;
constexpr std::size_t kFractionDot = 19;

template <typename Ch>
std::optional<int> digits(std::basic_string_view<Ch> text, std::size_t pos, std::size_t count) {
    int value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        const Ch c = text[i];
        if (c < Ch('0') || c > Ch('9')) return std::nullopt;
        value = value * 10 + static_cast<int>(c - Ch('0'));
    }
    return value;
}

template <typename Ch>
bool all_digits(std::basic_string_view<Ch> text) {
    if (text.empty()) return false;
    for (const Ch c : text) {
        if (c < Ch('0') || c > Ch('9')) return false;
    }
    return true;
}

bool is_leap_year(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

template <typename Ch>
std::error_code parse(std::basic_string_view<Ch> text, DateTime& out) {
    if (text.size() < kDateLength) return TimeUtilsError::date_too_short;
    if (text[kMonthDash] != Ch('-') || text[kDayDash] != Ch('-')) return TimeUtilsError::bad_date_format;

    DateTime result;
    const auto year = digits(text, 0, 4);
    if (!year) return TimeUtilsError::year_not_numeric;
    const auto month = digits(text, kMonthDash + 1, 2);
    if (!month || *month < 1 || *month > 12) return TimeUtilsError::month_not_numeric;
    const auto day = digits(text, kDayDash + 1, 2);
    if (!day || *day < 1 || *day > days_in_month(*year, *month)) return TimeUtilsError::day_not_numeric;
    result.year = *year;
    result.month = *month;
    result.day = *day;

    if (text.size() > kDateLength) {
        if (text.size() < kDateTimeLength) return TimeUtilsError::incomplete_date_time;
        if (text[kTimeMark] != Ch('T') || text[kMinuteColon] != Ch(':') || text[kSecondColon] != Ch(':')) {
            return TimeUtilsError::bad_date_time_format;
        }
        const auto hour = digits(text, kTimeMark + 1, 2);
        if (!hour || *hour > 23) return TimeUtilsError::hour_not_numeric;
        const auto minute = digits(text, kMinuteColon + 1, 2);
        if (!minute || *minute > 59) return TimeUtilsError::minute_not_numeric;
        const auto second = digits(text, kSecondColon + 1, 2);
        if (!second || *second > 59) return TimeUtilsError::second_not_numeric;
        result.hour = *hour;
        result.minute = *minute;
        result.second = *second;

        if (text.size() > kDateTimeLength) {
            if (text[kFractionDot] != Ch('.')) return TimeUtilsError::bad_date_time_format;
            const std::size_t first = kFractionDot + 1;
            if (!all_digits(text.substr(first))) {
                return TimeUtilsError::millisecond_not_numeric;
            }
            int millisecond = 0;
            for (std::size_t i = 0; i < 3; ++i) {
                const std::size_t pos = first + i;
                millisecond = millisecond * 10 + (pos < text.size() ? static_cast<int>(text[pos] - Ch('0')) : 0);
            }
            result.millisecond = millisecond;
        }
    }
    out = result;
    return {};
}

}  // namespace

std::error_code parse_date_time(std::wstring_view text, DateTime& out) { return parse(text, out); }

std::error_code parse_date_time(std::string_view text, DateTime& out) { return parse(text, out); }

}  // namespace dira_doro
