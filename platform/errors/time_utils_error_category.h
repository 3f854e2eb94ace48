// "time_utils": why a "yyyy-MM-ddTHH:mm:ss[.fff]" text could not be parsed
// (see date_time_parser.h).
#pragma once

#include <string>
#include <system_error>
#include <type_traits>

namespace dira_doro {

inline constexpr char kTimeUtilsCategoryName[] = "time_utils";

enum class TimeUtilsError : int {
    date_too_short = 1,           // "date must include at least 'yyyy-MM-dd'"
    bad_date_format = 2,          // "date part must be in format 'yyyy-MM-dd'"
    year_not_numeric = 3,
    month_not_numeric = 4,
    day_not_numeric = 5,
    incomplete_date_time = 6,     // "incomplete date, expected 'yyyy-MM-ddTHH:mm:ss'"
    bad_date_time_format = 7,     // "date must be in format 'yyyy-MM-ddTHH:mm:ss'"
    hour_not_numeric = 8,
    minute_not_numeric = 9,
    second_not_numeric = 10,
    millisecond_not_numeric = 11,
};

class time_utils_error_category_t final : public std::error_category {
public:
    const char* name() const noexcept override;
    std::string message(int code) const override;
};

const std::error_category& time_utils_category() noexcept;

std::error_code make_error_code(TimeUtilsError error) noexcept;

}  // namespace dira_doro

template <>
struct std::is_error_code_enum<dira_doro::TimeUtilsError> : std::true_type {};
