#include "xml_updater/substitutions/date_substitution.h"

#include <gtest/gtest.h>

#include <time.h>

#include <limits>

#include "platform/system/test/temp_root.h"
#include "xml_updater/substitutions/substitution_constants.h"
#include "xml_updater/substitutions/test/log_capture.h"
#include "xml_updater/substitutions/variant_date.h"

namespace XMLUpdater::v2 {
namespace {

// Local time is UTC for these tests, so epoch values are fixed.
class DateSubstitution : public ::testing::Test {
protected:
    void SetUp() override { ::tzset(); }
    void TearDown() override { ::tzset(); }

    std::wstring date(const std::wstring& arguments) { return CDateSubstitution().Substitute(arguments, nullptr); }

    // The local date `days` from now in a strftime format; read before and
    // after the call under test so a test running across midnight still passes.
    static std::wstring today(const wchar_t* format, int days = 0) {
        const time_t now = ::time(nullptr) + static_cast<time_t>(days) * 86400;
        tm local{};
        ::localtime_r(&now, &local);
        wchar_t buffer[64];
        const std::size_t n = std::wcsftime(buffer, 64, format, &local);
        return std::wstring(buffer, n);
    }

    rk::sys::test::ScopedEnv tz_{"TZ", "UTC"};
    test::LogCapture log_;
};

TEST_F(DateSubstitution, LiteralDates) {
    const struct {
        const wchar_t* arguments;
        const wchar_t* expected;
    } cases[] = {
        {L"31/12/2024@dd/mm/yyyy", L"2024-12-31"},
        {L"31/12/2024@DD/MM/YYYY", L"2024-12-31"},  // the pattern is lower-cased
        {L"2024-12-31@yyyy-mm-dd|dd.mm.yyyy", L"31.12.2024"},
        {L"2024-12-31@yyyy-mm-dd|DD.MM.YYYY", L"31.12.2024"},
        {L"2024-12-31@yyyy-mm-dd|yyyy", L"2024"},
        {L"2024-12-31@yyyy-mm-dd|yy/m", L"24/m"},
        {L"2024-12-31@yyyy-mm-dd|ddd", L"31d"},  // "dd", then the lone "d" stays
        {L"2024-12-31@yyyy-mm-DD|%A %B", L"Tue Dec"},  // lower-cased to %a and %b
        {L"2024-02-29@yyyy-mm-dd", L"2024-02-29"},
        {L"311224@ddmmyy", L"2024-12-31"},  // two-digit years are 20yy
        {L"991231@yymmdd", L"2099-12-31"},
        {L"x2024y12z31@ayyyybmmcdd", L"2024-12-31"},
        {L"0100-01-01@yyyy-mm-dd", L"100-01-01"},
        {L"9999-12-31@yyyy-mm-dd", L"9999-12-31"},
        {L"2023-02-29@yyyy-mm-dd", L"Invalid DateTime"},
        {L"2024-13-01@yyyy-mm-dd", L"Invalid DateTime"},
        {L"0099-12-31@yyyy-mm-dd", L"Invalid DateTime"},
        {L"2024-12-31@yyyy-mm-dd|%q", L"Invalid DateTime"},  // no such directive
        {L"2024-12-31@yyyy-mm-dd|100%", L"Invalid DateTime"},
        {L"2024-12-31@yyyy-mm-dd|%%", L"%"},
        {L"86400@epoch", L"1970-01-02"},
        {L"1700000000@EPOCH|yyyy-mm-dd", L"2023-11-14"},
        {L"1700000000@epoch|epoch", L"1700000000"},
        {L"  1700000000xyz@epoch|epoch", L"1700000000"},
        {L"2024-12-31@yyyy-mm-dd|epoch", L"1735603200"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(date(c.arguments), c.expected) << c.arguments << L"\n" << log_.Dump();
    }
}

TEST_F(DateSubstitution, Failures) {
    const struct {
        const wchar_t* arguments;
        const wchar_t* message;
    } cases[] = {
        {L"20241231", L"failed to parse year: 20241231"},  // a literal date needs a pattern
        {L"20241231|yyyy", L"failed to parse year: 20241231"},
        {L"2024-12@yyyy-dd", L"failed to parse month: 2024-12"},
        {L"2024-12@yyyy-mm", L"failed to parse day: 2024-12"},
        {L"ab/cd/efgh@dd/mm/yyyy", L"failed to convert date element(s) to int: year = efgh, month = cd, day = ab"},
        {L"31/12@dd/mm/yyyy", L"failed to convert date element(s) to int: year = , month = 12, day = 31"},
        {L"0@epoch", L"failed to convert epoch date: 0"},
        {L"abc@epoch", L"failed to convert epoch date: abc"},
        {L"99999999999999999@epoch", L"failed to convert epoch date: 99999999999999999"},
        {L"2023-02-29@yyyy-mm-dd|epoch", L"GetAsSystemTime failed: 87"},
        {L"1960-01-01@yyyy-mm-dd|epoch", L"date before 1970 has no epoch value: -315619200"},
        {L"today", L"failed to parse year: today"},  // keywords are case-sensitive
    };
    for (const auto& c : cases) {
        log_.Clear();
        EXPECT_EQ(date(c.arguments), L"!UNKNOWN") << c.arguments;
        EXPECT_EQ(log_.Level(c.message), 1) << c.arguments << L"\n" << log_.Dump();
    }
}

TEST_F(DateSubstitution, RelativeDates) {
    const struct {
        const wchar_t* arguments;
        int days;
        const wchar_t* format;
    } cases[] = {
        {L"TODAY", 0, L"%Y-%m-%d"},
        {L"TOMORROW", 1, L"%Y-%m-%d"},
        {L"YESTERDAY", -1, L"%Y-%m-%d"},
        {L"TOMORROW|DD.MM.YYYY", 1, L"%d.%m.%Y"},
        {L"TODAY@dd/mm/yyyy", 0, L"%Y-%m-%d"},  // the pattern is not used
        {L"YESTERDAY@x|yy", -1, L"%y"},
    };
    for (const auto& c : cases) {
        const std::wstring before = today(c.format, c.days);
        const std::wstring got = date(c.arguments);
        const std::wstring after = today(c.format, c.days);
        EXPECT_TRUE(got == before || got == after) << c.arguments << L": " << got << L" vs " << before;
    }
    const auto before = static_cast<long long>(::time(nullptr));
    const long long epoch = std::stoll(date(L"TODAY|epoch"));
    EXPECT_GE(epoch, before);
    EXPECT_LE(epoch, static_cast<long long>(::time(nullptr)));
}

TEST(VariantDate, RoundTripsAndLimits) {
    EXPECT_EQ(variant_date_from_parts({1899, 12, 30, 0, 0, 0}), 0.0);
    EXPECT_EQ(variant_date_from_parts({1900, 1, 1, 12, 0, 0}), 2.5);
    EXPECT_EQ(variant_date_from_parts({1899, 12, 29, 0, 0, 0}), -1.0);
    for (const DateTimeParts p : {DateTimeParts{100, 1, 1, 0, 0, 0}, DateTimeParts{1600, 2, 29, 23, 59, 59},
                                  DateTimeParts{2024, 12, 31, 12, 30, 1}, DateTimeParts{9999, 12, 31, 23, 59, 59}}) {
        const auto d = variant_date_from_parts(p);
        ASSERT_TRUE(d);
        const auto back = parts_from_variant_date(*d);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->year, p.year);
        EXPECT_EQ(back->month, p.month);
        EXPECT_EQ(back->day, p.day);
        EXPECT_EQ(back->second, p.second);
    }
    EXPECT_FALSE(variant_date_from_parts({1900, 2, 29, 0, 0, 0}));  // 1900 is no leap year
    EXPECT_FALSE(variant_date_from_parts({2024, 1, 1, 24, 0, 0}));
    EXPECT_FALSE(parts_from_variant_date(1e300));
    EXPECT_FALSE(parts_from_variant_date(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_TRUE(variant_dates_equal(1.0, 1.0 + 0.4 / 86400));
    EXPECT_FALSE(variant_dates_equal(1.0, 1.0 + 0.6 / 86400));
}

}  // namespace
}  // namespace XMLUpdater::v2
