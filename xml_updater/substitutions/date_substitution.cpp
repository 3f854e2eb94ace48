#include "xml_updater/substitutions/date_substitution.h"

#include <array>
#include <string_view>
#include <utility>

#include "platform/errors/win_error.h"
#include "platform/text/format.h"
#include "platform/text/numeric.h"
#include "platform/text/strings.h"
#include "xml_updater/substitutions/substitution_constants.h"
#include "xml_updater/substitutions/variant_date.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {

constexpr wchar_t kFile[] = L"date_substitution.cpp";
constexpr wchar_t kFunction[] = L"CDateSubstitution::Substitute";
constexpr wchar_t kFormatFunction[] = L"CDateSubstitution::FormatDateTime";
constexpr wchar_t kMsgEpochBefore1970[] = L"date before 1970 has no epoch value: %s";
// Two-digit years are taken as 2000 to 2099.
constexpr int kTwoDigitYearBase = 2000;

// Picture markers and their strftime directives, replaced in this order.
const std::array<std::pair<std::wstring_view, std::wstring_view>, 4>& picture_table() {
    static const std::array<std::pair<std::wstring_view, std::wstring_view>, 4> table = {{
        {L"yyyy", L"%Y"},
        {L"yy", L"%y"},
        {L"mm", L"%m"},
        {L"dd", L"%d"},
    }};
    return table;
}

void replace_all(std::wstring& text, std::wstring_view from, std::wstring_view to) {
    for (std::size_t pos = text.find(from); pos != std::wstring::npos; pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
    }
}

// substr that yields "" instead of throwing past the end.
std::wstring part_of(const std::wstring& text, std::size_t pos, std::size_t count) {
    return pos > text.size() ? std::wstring() : text.substr(pos, count);
}

struct ParsedDate {
    bool ok = false;
    std::optional<double> date;  // nullopt: parsed, but no real date
};

ParsedDate parse_literal(const std::wstring& base, const std::wstring& pattern) {
    if (pattern == kDateEpoch) {
        const auto seconds = rk::text::wcstoll_like(base, 10);
        const auto date = seconds.value == 0 ? std::nullopt : variant_date_from_epoch(seconds.value);
        if (!date) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgEpochFailed, base);
            return {};
        }
        return {true, date};
    }
    std::size_t year_pos = pattern.find(L"yyyy");
    std::size_t year_len = 4;
    if (year_pos == std::wstring::npos) {
        year_pos = pattern.find(L"yy");
        year_len = 2;
    }
    if (year_pos == std::wstring::npos) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgYearFailed, base);
        return {};
    }
    const std::size_t month_pos = pattern.find(L"mm");
    if (month_pos == std::wstring::npos) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgMonthFailed, base);
        return {};
    }
    const std::size_t day_pos = pattern.find(L"dd");
    if (day_pos == std::wstring::npos) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgDayFailed, base);
        return {};
    }
    const std::wstring year_text = part_of(base, year_pos, year_len);
    const std::wstring month_text = part_of(base, month_pos, 2);
    const std::wstring day_text = part_of(base, day_pos, 2);
    const auto year = rk::text::wcstol_like(year_text, 10);
    const auto month = rk::text::wcstol_like(month_text, 10);
    const auto day = rk::text::wcstol_like(day_text, 10);
    if (year.consumed == 0 || month.consumed == 0 || day.consumed == 0) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgDateIntFailed, year_text, month_text, day_text);
        return {};
    }
    int year_value = year.value;
    if (year_len == 2 && year_value >= 0 && year_value <= 99) {
        year_value += kTwoDigitYearBase;
    }
    return {true, variant_date_from_parts({year_value, month.value, day.value, 0, 0, 0})};
}

}  // namespace

std::wstring CDateSubstitution::Substitute(const std::wstring& arguments, CSubstitutionManager* /*manager*/) {
    const auto at = arguments.find(kDatePatternSeparator);
    const auto bar = arguments.find(kDateFormatSeparator);
    const std::wstring base = arguments.substr(0, at != std::wstring::npos ? at : bar);
    std::wstring pattern;
    if (at != std::wstring::npos) {
        pattern = rk::text::to_lower(arguments.substr(
            at + 1, bar != std::wstring::npos && bar > at ? bar - at - 1 : std::wstring::npos));
    }
    const std::wstring format = bar == std::wstring::npos ? std::wstring() : rk::text::to_lower(arguments.substr(bar + 1));

    std::optional<double> date;
    if (base == kDateToday || base == kDateTomorrow || base == kDateYesterday) {
        date = local_now();
        if (base == kDateTomorrow) {
            *date += 1.0;
        } else if (base == kDateYesterday) {
            *date -= 1.0;
        }
    } else {
        const ParsedDate parsed = parse_literal(base, pattern);
        if (!parsed.ok) {
            return kUnknownValue;
        }
        date = parsed.date;
    }
    return FormatDateTime(date, format);
}

std::wstring CDateSubstitution::FormatDateTime(std::optional<double> date, const std::wstring& format) {
    if (format == kDateEpoch) {
        const auto seconds = date ? epoch_from_variant_date(*date) : std::nullopt;
        if (!seconds) {
            XmlUpdaterLog(kXmlLogError, kFile, kFormatFunction, __LINE__, kMsgSystemTimeFailed,
                          static_cast<int>(rk::win::kErrorInvalidParameter));
            return kUnknownValue;
        }
        if (*seconds < 0) {
            XmlUpdaterLog(kXmlLogError, kFile, kFormatFunction, __LINE__, kMsgEpochBefore1970,
                          rk::text::format(L"%lld", *seconds));
            return kUnknownValue;
        }
        return rk::text::format(L"%lld", *seconds);
    }
    std::wstring picture = format.empty() ? std::wstring(kDateDefaultFormat) : format;
    if (!format.empty()) {
        for (const auto& [marker, directive] : picture_table()) {
            replace_all(picture, marker, directive);
        }
    }
    const auto text = date ? format_variant_date(*date, picture) : std::nullopt;
    return text ? *text : std::wstring(kDateInvalid);
}

}  // namespace XMLUpdater::v2
