#include "platform/errors/error_report.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "platform/errors/bin_json_error_category.h"
#include "platform/errors/cab_error_category.h"
#include "platform/errors/nt_error_category.h"
#include "platform/errors/reg_error_condition_category.h"
#include "platform/errors/time_utils_error_category.h"
#include "platform/errors/wbem_error_category.h"
#include "platform/errors/windows_error_category.h"
#include "platform/errors/winhttp_error_category.h"

namespace dira_doro {
namespace {

TEST(ErrorReportTest, FormatsEachFormByteExact) {
    struct Case {
        const char* name;
        ErrorReport report;
        std::wstring expected;
    };
    const std::vector<Case> cases = {
        {"component and code",
         make_error_report(make_win32_error_code(2), L"cannot open", L"trust", "f.cpp", "F::G", 7),
         L"[trust][win32:0x2] cannot open (The system cannot find the file specified.)"},
        {"code without component",
         make_error_report(make_win32_error_code(5), L"denied", L"", "f.cpp", "F::G", 7),
         L"[win32:0x5] denied (Access is denied.)"},
        {"negative code prints as 32-bit hex",
         make_error_report(make_nt_error_code(static_cast<rk::NTSTATUS>(0xC0000034u)), L"open key", L"framework",
                           "f.cpp", "F::G", 7),
         L"[framework][ntstatus:0xc0000034] open key (Object Name not found.)"},
        {"no code", make_error_report({}, L"CoInitializeSecurity failed", L"framework", "f.cpp", "F::G", 7),
         L"[framework] CoInitializeSecurity failed"},
        {"no code and no component", make_error_report({}, L"plain", L"", "f.cpp", "F::G", 7), L"[] plain"},
        {"unknown text", make_error_report(BinJsonError{4}, L"decode", L"trust", "f.cpp", "F::G", 7),
         L"[trust][bin_json:0x4] decode (unknown)"},
        // Each category reports under its own name.
        {"winhttp", make_error_report(std::error_code(12002, winhttp_category()), L"get", L"", "f.cpp", "F::G", 7),
         L"[winhttp:0x2ee2] get (The operation timed out)"},
        {"wmi", make_error_report(std::error_code(static_cast<int>(0x80041002u), wbem_category()), L"q", L"", "f.cpp", "F::G", 7),
         L"[wmi error:0x80041002] q (Not found)"},
        {"registry", make_error_report(std::error_code(1, registry_category()), L"k", L"", "f.cpp", "F::G", 7),
         L"[registry error:0x1] k (not_found)"},
        {"time", make_error_report(TimeUtilsError::date_too_short, L"d", L"", "f.cpp", "F::G", 7),
         L"[time_utils:0x1] d (date must include at least 'yyyy-MM-dd')"},
        {"cabinet", make_error_report(FdiError::eof, L"x", L"", "f.cpp", "F::G", 7), L"[cabinet:0xc] x (FDIERROR_EOF)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(format_error_report(c.report), c.expected) << c.name;
    }
}

TEST(ErrorReportTest, ContextEntriesFollowTheCategoryText) {
    ErrorReport report = make_error_report(BinJsonError::not_supported, L"bad record", L"trust", "f.cpp", "F::G", 1);
    report.add_context("path", std::wstring(L"C:\\x.exe")).add_context("size", std::uint64_t{42});
    EXPECT_EQ(format_error_report(report),
              L"[trust][bin_json:0x3] bad record (not supported)\n[0] 'path'='C:\\x.exe'\n[1] 'size'='42'");

    ErrorReport no_code = make_error_report({}, L"note", L"trust", "f.cpp", "F::G", 1);
    no_code.add_context("k", std::string("v"));
    EXPECT_EQ(format_error_report(no_code), L"[trust] note\n[0] 'k'='v'");
}

TEST(ErrorReportTest, ContextValuesUseTheirOwnFormats) {
    struct Case {
        ContextValue value;
        std::wstring expected;
    };
    const std::vector<Case> cases = {
        {std::monostate{}, L"{monostate}"},
        {std::int64_t{-5}, L"-5"},
        {std::int64_t{INT64_MIN}, L"-9223372036854775808"},
        {std::uint64_t{UINT64_MAX}, L"18446744073709551615"},
        {std::string("narrow \xC3\xA9"), L"narrow \u00E9"},
        {std::wstring(L"wide"), L"wide"},
        {std::string(), L""},
        // The length bounds the text, so embedded zeros do not cut it.
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
        {CustomContextValue{std::vector<int>{1, 2}}, L"{custom}"},
        {make_named_value("pid", std::int64_t{12}), L"pid = '12'"},
        {make_named_value("outer", make_named_value("inner", std::wstring(L"x"))), L"outer = 'inner = 'x''"},
        {NamedContextValue{"empty", nullptr}, L"empty = '{monostate}'"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(format_context_value(c.value), c.expected);
    }
    const std::vector<ContextEntry> context = {{"a", std::int64_t{1}}, {"b", std::monostate{}}};
    EXPECT_EQ(format_context(context), L"\n[0] 'a'='1'\n[1] 'b'='{monostate}'");
    EXPECT_EQ(format_context({}), L"");
}

TEST(ErrorReportTest, ReportCarriesItsSourcePosition) {
    const int line = __LINE__ + 1;
    const ErrorReport report = RK_ERROR_REPORT(make_win32_error_code(5), L"m", L"trust");
    EXPECT_EQ(report.line, line);
    EXPECT_NE(report.file.find("error_report_test.cpp"), std::string::npos);
    EXPECT_NE(report.function.find("TestBody"), std::string::npos);
    EXPECT_EQ(report.level, kDefaultReportLevel);
}

std::exception_ptr capture(auto thrower) {
    try {
        thrower();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

TEST(ErrorReportTest, DescribesAndReportsCaughtExceptions) {
    struct Case {
        const char* name;
        std::exception_ptr error;
        std::string description;
        std::wstring report;
    };
    const std::vector<Case> cases = {
        {"system error",
         capture([] { throw std::system_error(make_win32_error_code(5), "open"); }),
         "'open: Access is denied.' [win32:0x5]", L"<<system_error>> win32: 'while saving'"},
        {"system error with negative code",
         capture([] { throw std::system_error(make_nt_error_code(static_cast<rk::NTSTATUS>(0xC000017Cu))); }),
         "'Illegal operation attempted on a registry key which has been marked for deletion.' [ntstatus:0xc000017c]",
         L"<<system_error>> ntstatus: 'while saving'"},
        {"standard exception", capture([] { throw std::runtime_error("boom"); }), "'boom'",
         L"<<exception>> 'boom': while saving"},
        {"anything else", capture([] { throw 42; }), "unknown exception",
         L"<<exception>> 'unknown exception': while saving"},
        {"no exception", nullptr, "unknown exception", L"<<exception>> 'unknown exception': while saving"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(describe_exception(c.error), c.description) << c.name;
        EXPECT_EQ(format_exception_report(c.error, L"while saving"), c.report) << c.name;
    }
}

class RecordingLogger final : public IErrorReportLogger {
public:
    explicit RecordingLogger(ReportLevel threshold) : threshold_(threshold) {}
    ReportLevel threshold() const override { return threshold_; }
    void write(ReportLevel level, std::string_view file, std::string_view function, int line,
               std::wstring_view text) override {
        lines.push_back({level, std::string(file), std::string(function), line, std::wstring(text)});
    }

    struct Line {
        ReportLevel level;
        std::string file;
        std::string function;
        int line;
        std::wstring text;
    };
    std::vector<Line> lines;

private:
    ReportLevel threshold_;
};

TEST(ErrorReportTest, WritesOnlyReportsThatPassTheThreshold) {
    struct Case {
        ReportLevel threshold;
        ReportLevel level;
        bool written;
    };
    const Case cases[] = {{3, 2, false}, {3, 3, true}, {3, 5, true}, {6, 5, false}, {1, 1, true}};
    for (const auto& c : cases) {
        RecordingLogger logger(c.threshold);
        ErrorReport report = make_error_report(make_win32_error_code(5), L"m", L"trust", "a.cpp", "A::B", 9, c.level);
        EXPECT_EQ(log_error_report(logger, report), c.written) << c.threshold << " " << c.level;
        ASSERT_EQ(logger.lines.size(), c.written ? 1u : 0u);
        if (c.written) {
            const auto& l = logger.lines[0];
            EXPECT_EQ(std::tie(l.level, l.file, l.function, l.line, l.text),
                      std::tuple(c.level, "a.cpp", "A::B", 9, L"[trust][win32:0x5] m (Access is denied.)"));
        }
    }
}

}  // namespace
}  // namespace dira_doro
