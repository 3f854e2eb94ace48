#include "xml_updater/preconditions/date_compare.h"

#include <array>
#include <climits>
#include <cwctype>

#include "xml_updater/preconditions/number_compare.h"

namespace XMLUpdater::v2 {
namespace {

// A date with the tolerant equality of the comparisons.
struct ComparableDate {
    double date;
    bool operator==(const ComparableDate& other) const { return variant_dates_equal(date, other.date); }
    bool operator<(const ComparableDate& other) const { return !(*this == other) && date < other.date; }
};

// One "%d": white space, an optional sign, at least one digit.
std::optional<int> scan_int(std::wstring_view text, std::size_t& pos) {
    while (pos < text.size() && std::iswspace(static_cast<wint_t>(text[pos]))) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) {
        negative = text[pos] == L'-';
        ++pos;
    }
    long long value = 0;
    std::size_t digits = 0;
    while (pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9') {
        value = value * 10 + (text[pos] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            return std::nullopt;
        }
        ++pos;
        ++digits;
    }
    if (digits == 0) {
        return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > INT_MAX || value < INT_MIN) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

}  // namespace

std::optional<DateTimeParts> parse_ymd(std::wstring_view text) {
    std::array<int, 3> fields{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != L'-') {
                return std::nullopt;
            }
            ++pos;
        }
        const auto field = scan_int(text, pos);
        if (!field) {
            return std::nullopt;
        }
        fields[i] = *field;
    }
    return DateTimeParts{fields[0], fields[1], fields[2], 0, 0, 0};
}

std::optional<bool> compare_dates(const std::wstring& op, std::optional<double> name, std::optional<double> value) {
    const auto valid_result = apply_order_operator(op, ComparableDate{0}, ComparableDate{0});
    if (!valid_result) {
        return std::nullopt;
    }
    if (!name || !value) {
        return false;
    }
    return apply_order_operator(op, ComparableDate{*name}, ComparableDate{*value});
}

}  // namespace XMLUpdater::v2
