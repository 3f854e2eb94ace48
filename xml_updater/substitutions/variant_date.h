// Dates as the engine computes with them: the variant date type, a double
// whose integer part counts days from 30 December 1899 and whose fraction is
// the time of day. Unlike OLE's own encoding, dates before 1899 stay linear
// (-1.25 is 6 a.m. on 28 December 1899), so comparing and adding days is
// plain arithmetic everywhere. Valid years are 100 to 9999, as for OLE dates.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace XMLUpdater::v2 {

inline constexpr int kMinVariantYear = 100;
inline constexpr int kMaxVariantYear = 9999;

struct DateTimeParts {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// nullopt when the parts are no real calendar date and time in range.
std::optional<double> variant_date_from_parts(const DateTimeParts& parts);
// Rounded to the second; nullopt outside the valid years.
std::optional<DateTimeParts> parts_from_variant_date(double date);

// The current local date and time (to the second).
double local_now();
// Seconds since 1970 (UTC) as local date and time; nullopt when out of range.
std::optional<double> variant_date_from_epoch(std::int64_t seconds);
// The date taken as local time, as seconds since 1970; nullopt when the date
// is invalid or the conversion fails.
std::optional<std::int64_t> epoch_from_variant_date(double date);

// Equal when less than half a second apart.
bool variant_dates_equal(double a, double b);

// strftime over the date (local time zone). nullopt when the date is
// invalid, the format holds a directive that is not one of C's strftime
// conversions, or the result does not fit a buffer of 8 characters per
// format character.
std::optional<std::wstring> format_variant_date(double date, std::wstring_view format);

}  // namespace XMLUpdater::v2
