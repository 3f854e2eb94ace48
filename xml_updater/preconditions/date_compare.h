// Dates of the DATE and DATE_DELTA preconditions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "xml_updater/substitutions/variant_date.h"

namespace XMLUpdater::v2 {

// swscanf(text, L"%d-%d-%d") that must fill all three fields: each number
// may follow white space and carry a sign; text after the day is ignored.
// nullopt when a field is missing or does not fit an int.
std::optional<DateTimeParts> parse_ymd(std::wstring_view text);

// Name OPERATOR Value over two dates (nullopt: not a real date). Equal means
// less than half a second apart. An invalid date makes every operator false;
// an unknown operator gives nullopt.
std::optional<bool> compare_dates(const std::wstring& op, std::optional<double> name, std::optional<double> value);

}  // namespace XMLUpdater::v2
