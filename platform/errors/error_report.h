// Error reports: a failure with its code, message, component, source
// position, level and context, formatted into one log line; plus the texts
// that describe a caught exception.
#pragma once

#include <any>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <variant>
#include <vector>

namespace dira_doro {

// Log levels in the common scale (1 to 6); a report defaults to "Error".
using ReportLevel = std::uint32_t;
inline constexpr ReportLevel kDefaultReportLevel = 4;

// A value the formatter cannot show; it reads "{custom}".
struct CustomContextValue {
    std::any value;
};

struct NamedContextValue;

// Formatted as "{monostate}", "%lld", "%llu", "%.*hs", "%.*ls", "{custom}"
// and, for a named value, "%.*hs = '%ls'" (name, the value's own text).
using ContextValue = std::variant<std::monostate, std::int64_t, std::uint64_t, std::string, std::wstring,
                                  CustomContextValue, NamedContextValue>;

struct NamedContextValue {
    std::string name;
    std::shared_ptr<const ContextValue> value;  // null reads as "{monostate}"
};

NamedContextValue make_named_value(std::string name, ContextValue value);

struct ContextEntry {
    std::string key;
    ContextValue value;
};

struct ErrorReport {
    std::error_code code;  // a report "without an error code" has value 0
    std::wstring message;
    std::wstring component;  // for example "framework" or "trust"; may be empty
    std::string file;
    std::string function;
    int line = 0;
    ReportLevel level = kDefaultReportLevel;
    std::vector<ContextEntry> context;

    ErrorReport& add_context(std::string key, ContextValue value);
};

ErrorReport make_error_report(std::error_code code, std::wstring message, std::wstring component,
                              std::string file, std::string function, int line,
                              ReportLevel level = kDefaultReportLevel);

// A report made at the point of use (std::source_location is not available
// with every supported compiler).
#define RK_ERROR_REPORT(code, message, component) \
    ::dira_doro::make_error_report((code), (message), (component), __FILE__, __func__, __LINE__)

std::wstring format_context_value(const ContextValue& value);

// Each entry as "\n[%d] '%.*hs'='%ls'", numbered from 0.
std::wstring format_context(const std::vector<ContextEntry>& context);

// "[%ls][%hs:0x%x] %ls (%hs)%ls" with a component and a code,
// "[%hs:0x%x] %ls (%hs)%ls" with a code only, "[%ls] %ls" without a code;
// the context follows in every form.
std::wstring format_error_report(const ErrorReport& report);

// "'%hs' [%hs:0x%x]" for a std::system_error, "'%hs'" for another
// std::exception, "unknown exception" for anything else (or no exception).
std::string describe_exception(const std::exception_ptr& error);

// "<<system_error>> %hs: '%ls'" (category name, message) for a
// std::system_error, "<<exception>> '%hs': %ls" (what, message) for another
// exception; anything else reads as an exception whose what() is
// "unknown exception".
std::wstring format_exception_report(const std::exception_ptr& error, std::wstring_view message);

// The logger a report is written through (the framework client's logger).
class IErrorReportLogger {
public:
    virtual ~IErrorReportLogger() = default;
    // A report passes when its level is greater than or equal to this.
    virtual ReportLevel threshold() const = 0;
    // `text` is the formatted report; file, function and line are the
    // report's source position.
    virtual void write(ReportLevel level, std::string_view file, std::string_view function, int line,
                       std::wstring_view text) = 0;
};

// Formats and writes the report when its level passes the logger's
// threshold; returns whether it was written.
bool log_error_report(IErrorReportLogger& logger, const ErrorReport& report);

}  // namespace dira_doro
