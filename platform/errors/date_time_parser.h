// Parses "yyyy-MM-dd", "yyyy-MM-ddTHH:mm:ss" and "yyyy-MM-ddTHH:mm:ss.f..."
// texts into their fields; failures are "time_utils" error codes.
//
// The form is fixed: a 4-digit year, 2-digit month, day, hour, minute and
// second at fixed positions, '-' and ':' separators and an upper-case 'T'.
// No white space, sign, time zone or other suffix is accepted. The fraction
// after '.' has one or more digits; its first three give the milliseconds
// (".5" is 500, ".1234567" is 123). Fields must also be in range (month
// 1-12, day within the month of that year, hour 0-23, minute and second
// 0-59); an out-of-range field fails with the code that names the field.
// A date alone reads as midnight.
#pragma once

#include <string_view>
#include <system_error>

namespace dira_doro {

struct DateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// On failure `out` is left unchanged.
std::error_code parse_date_time(std::wstring_view text, DateTime& out);
std::error_code parse_date_time(std::string_view text, DateTime& out);

}  // namespace dira_doro
