#include "platform/errors/date_time_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/errors/time_utils_error_category.h"

namespace dira_doro {
namespace {

TEST(DateTimeParserTest, AcceptsTheDocumentedForms) {
    struct Case {
        const char* text;
        DateTime expected;
    };
    const Case cases[] = {
        {"2024-03-15", {2024, 3, 15, 0, 0, 0, 0}},
        {"2024-03-15T08:09:10", {2024, 3, 15, 8, 9, 10, 0}},
        {"2024-03-15T23:59:59.123", {2024, 3, 15, 23, 59, 59, 123}},
        // A fraction is a fraction of a second: fewer digits scale up,
        // more digits are cut after the milliseconds.
        {"2024-03-15T00:00:00.5", {2024, 3, 15, 0, 0, 0, 500}},
        {"2024-03-15T00:00:00.05", {2024, 3, 15, 0, 0, 0, 50}},
        {"2024-03-15T00:00:00.1234567", {2024, 3, 15, 0, 0, 0, 123}},
        {"2024-03-15T00:00:00.000", {2024, 3, 15, 0, 0, 0, 0}},
        {"2024-03-15T00:00:00.99999999999999999999999", {2024, 3, 15, 0, 0, 0, 999}},
        // Calendar limits.
        {"2024-02-29", {2024, 2, 29, 0, 0, 0, 0}},
        {"2000-02-29", {2000, 2, 29, 0, 0, 0, 0}},
        {"0000-01-01", {0, 1, 1, 0, 0, 0, 0}},
        {"9999-12-31T23:59:59", {9999, 12, 31, 23, 59, 59, 0}},
    };
    for (const auto& c : cases) {
        DateTime narrow;
        EXPECT_FALSE(parse_date_time(std::string_view(c.text), narrow)) << c.text;
        EXPECT_EQ(narrow, c.expected) << c.text;
        const std::string text(c.text);
        DateTime wide;
        EXPECT_FALSE(parse_date_time(std::wstring(text.begin(), text.end()), wide)) << c.text;
        EXPECT_EQ(wide, c.expected) << c.text;
    }
}

TEST(DateTimeParserTest, RejectsEachMalformedPartWithItsCode) {
    struct Case {
        const char* text;
        TimeUtilsError expected;
    };
    const Case cases[] = {
        {"", TimeUtilsError::date_too_short},
        {"2024-03-1", TimeUtilsError::date_too_short},
        {"20240315", TimeUtilsError::date_too_short},
        {"2024/03/15", TimeUtilsError::bad_date_format},
        {"2024-03/15", TimeUtilsError::bad_date_format},
        {"202-03-15T", TimeUtilsError::bad_date_format},
        {"20240315T000000", TimeUtilsError::bad_date_format},
        {"20x4-03-15", TimeUtilsError::year_not_numeric},
        {"+024-03-15", TimeUtilsError::year_not_numeric},
        {" 024-03-15", TimeUtilsError::year_not_numeric},
        {"2024-0a-15", TimeUtilsError::month_not_numeric},
        {"2024-00-15", TimeUtilsError::month_not_numeric},
        {"2024-13-15", TimeUtilsError::month_not_numeric},
        {"2024-03-1x", TimeUtilsError::day_not_numeric},
        {"2024-03-00", TimeUtilsError::day_not_numeric},
        {"2024-04-31", TimeUtilsError::day_not_numeric},
        {"2023-02-29", TimeUtilsError::day_not_numeric},
        {"1900-02-29", TimeUtilsError::day_not_numeric},
        // The year is judged before the month, the month before the day.
        {"yyyy-MM-dd", TimeUtilsError::year_not_numeric},
        {"2024-MM-dd", TimeUtilsError::month_not_numeric},
        {"2024-03-15T", TimeUtilsError::incomplete_date_time},
        {"2024-03-15T08:09:1", TimeUtilsError::incomplete_date_time},
        {"2024-03-15 ", TimeUtilsError::incomplete_date_time},
        {"2024-03-15 08:09:10", TimeUtilsError::bad_date_time_format},
        {"2024-03-15t08:09:10", TimeUtilsError::bad_date_time_format},
        {"2024-03-15T08-09:10", TimeUtilsError::bad_date_time_format},
        {"2024-03-15T08:09-10", TimeUtilsError::bad_date_time_format},
        {"2024-03-15T08:09:10Z", TimeUtilsError::bad_date_time_format},
        {"2024-03-15T08:09:10,123", TimeUtilsError::bad_date_time_format},
        {"2024-03-15T08:09:10+01:00", TimeUtilsError::bad_date_time_format},
        {"2024-03-15Tx8:09:10", TimeUtilsError::hour_not_numeric},
        {"2024-03-15T24:00:00", TimeUtilsError::hour_not_numeric},
        {"2024-03-15T08:6x:10", TimeUtilsError::minute_not_numeric},
        {"2024-03-15T08:60:10", TimeUtilsError::minute_not_numeric},
        {"2024-03-15T08:09:1x", TimeUtilsError::second_not_numeric},
        {"2024-03-15T08:09:60", TimeUtilsError::second_not_numeric},
        {"2024-03-15T08:09:10.", TimeUtilsError::millisecond_not_numeric},
        {"2024-03-15T08:09:10.12a", TimeUtilsError::millisecond_not_numeric},
        {"2024-03-15T08:09:10.-1", TimeUtilsError::millisecond_not_numeric},
        {"2024-03-15T08:09:10.123Z", TimeUtilsError::millisecond_not_numeric},
    };
    for (const auto& c : cases) {
        const DateTime untouched{1, 2, 3, 4, 5, 6, 7};
        DateTime out = untouched;
        const std::error_code error = parse_date_time(std::string_view(c.text), out);
        EXPECT_EQ(error, std::error_code(c.expected)) << '"' << c.text << "\": " << error.message();
        EXPECT_EQ(out, untouched) << c.text;
    }
}

TEST(DateTimeParserTest, WideTextBeyondAsciiIsNotADigit) {
    DateTime out;
    // Fullwidth digit one (U+FF11) in the year.
    EXPECT_EQ(parse_date_time(std::wstring_view(L"\xFF11" L"024-03-15"), out),
              std::error_code(TimeUtilsError::year_not_numeric));
}

}  // namespace
}  // namespace dira_doro
