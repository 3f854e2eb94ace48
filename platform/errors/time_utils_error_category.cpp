#include "platform/errors/time_utils_error_category.h"

#include "platform/errors/category_instance.h"
#include "platform/errors/category_text.h"

namespace dira_doro {

const char* time_utils_error_category_t::name() const noexcept { return kTimeUtilsCategoryName; }

std::string time_utils_error_category_t::message(int code) const {
    switch (static_cast<TimeUtilsError>(code)) {
        case TimeUtilsError::date_too_short: return "date must include at least 'yyyy-MM-dd'";
        case TimeUtilsError::bad_date_format: return "date part must be in format 'yyyy-MM-dd'";
        case TimeUtilsError::year_not_numeric: return "date year is not numeric";
        case TimeUtilsError::month_not_numeric: return "date month is not numeric";
        case TimeUtilsError::day_not_numeric: return "date day is not numeric";
        case TimeUtilsError::incomplete_date_time: return "incomplete date, expected 'yyyy-MM-ddTHH:mm:ss'";
        case TimeUtilsError::bad_date_time_format: return "date must be in format 'yyyy-MM-ddTHH:mm:ss'";
        case TimeUtilsError::hour_not_numeric: return "time hour is not numeric";
        case TimeUtilsError::minute_not_numeric: return "time minute is not numeric";
        case TimeUtilsError::second_not_numeric: return "time second is not numeric";
        case TimeUtilsError::millisecond_not_numeric: return "time millisecond is not numeric";
    }
    return kUnknownMessage;
}

const std::error_category& time_utils_category() noexcept {
    return category_instance<time_utils_error_category_t>();
}

std::error_code make_error_code(TimeUtilsError error) noexcept {
    return {static_cast<int>(error), time_utils_category()};
}

}  // namespace dira_doro
