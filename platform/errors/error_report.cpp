#include "platform/errors/error_report.h"

#include <limits>
#include <type_traits>
#include <utility>

#include "platform/text/format.h"

namespace dira_doro {
namespace {

constexpr wchar_t kReportWithComponent[] = L"[%ls][%hs:0x%x] %ls (%hs)%ls";
constexpr wchar_t kReportWithoutComponent[] = L"[%hs:0x%x] %ls (%hs)%ls";
constexpr wchar_t kReportWithoutCode[] = L"[%ls] %ls";
constexpr wchar_t kContextEntry[] = L"\n[%d] '%.*hs'='%ls'";

constexpr wchar_t kMonostateValue[] = L"{monostate}";
constexpr wchar_t kSignedValue[] = L"%lld";
constexpr wchar_t kUnsignedValue[] = L"%llu";
constexpr wchar_t kNarrowValue[] = L"%.*hs";
constexpr wchar_t kWideValue[] = L"%.*ls";
constexpr wchar_t kCustomValue[] = L"{custom}";
constexpr wchar_t kNamedValue[] = L"%.*hs = '%ls'";

constexpr char kSystemErrorDescription[] = "'%hs' [%hs:0x%x]";
constexpr char kExceptionDescription[] = "'%hs'";
constexpr char kUnknownException[] = "unknown exception";

constexpr wchar_t kSystemErrorReport[] = L"<<system_error>> %hs: '%ls'";
constexpr wchar_t kExceptionReport[] = L"<<exception>> '%hs': %ls";

// Precision argument of "%.*"; texts beyond INT_MAX are cut there.
template <typename S>
int precision_of(const S& text) {
    constexpr std::size_t kMax = static_cast<std::size_t>(std::numeric_limits<int>::max());
    return static_cast<int>(text.size() < kMax ? text.size() : kMax);
}

}  // namespace

NamedContextValue make_named_value(std::string name, ContextValue value) {
    return NamedContextValue{std::move(name), std::make_shared<const ContextValue>(std::move(value))};
}

ErrorReport& ErrorReport::add_context(std::string key, ContextValue value) {
    context.push_back(ContextEntry{std::move(key), std::move(value)});
    return *this;
}

ErrorReport make_error_report(std::error_code code, std::wstring message, std::wstring component, std::string file,
                              std::string function, int line, ReportLevel level) {
    ErrorReport report;
    report.code = code;
    report.message = std::move(message);
    report.component = std::move(component);
    report.file = std::move(file);
    report.function = std::move(function);
    report.line = line;
    report.level = level;
    return report;
}

std::wstring format_context_value(const ContextValue& value) {
    return std::visit(
        [](const auto& v) -> std::wstring {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return kMonostateValue;
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return rk::text::format(kSignedValue, v);
            } else if constexpr (std::is_same_v<T, std::uint64_t>) {
                return rk::text::format(kUnsignedValue, v);
            } else if constexpr (std::is_same_v<T, std::string>) {
                return rk::text::format(kNarrowValue, precision_of(v), v);
            } else if constexpr (std::is_same_v<T, std::wstring>) {
                return rk::text::format(kWideValue, precision_of(v), v);
            } else if constexpr (std::is_same_v<T, CustomContextValue>) {
                return kCustomValue;
            } else {
                static_assert(std::is_same_v<T, NamedContextValue>);
                const std::wstring inner = v.value ? format_context_value(*v.value) : kMonostateValue;
                return rk::text::format(kNamedValue, precision_of(v.name), v.name, inner);
            }
        },
        value);
}

std::wstring format_context(const std::vector<ContextEntry>& context) {
    std::wstring out;
    int index = 0;
    for (const auto& entry : context) {
        const std::wstring value = format_context_value(entry.value);
        const auto args = rk::text::make_format_args(index, precision_of(entry.key), entry.key, value);
        rk::text::vformat_to(out, kContextEntry, rk::text::FormatArgs(args.data(), args.size()));
        ++index;
    }
    return out;
}

std::wstring format_error_report(const ErrorReport& report) {
    const std::wstring context = format_context(report.context);
    if (!report.code) {
        return rk::text::format(kReportWithoutCode, report.component, report.message) + context;
    }
    const char* category = report.code.category().name();
    const std::string text = report.code.message();
    if (report.component.empty()) {
        return rk::text::format(kReportWithoutComponent, category, report.code.value(), report.message, text,
                                context);
    }
    return rk::text::format(kReportWithComponent, report.component, category, report.code.value(), report.message,
                            text, context);
}

std::string describe_exception(const std::exception_ptr& error) {
    if (!error) return kUnknownException;
    try {
        std::rethrow_exception(error);
    } catch (const std::system_error& e) {
        return rk::text::format(kSystemErrorDescription, e.what(), e.code().category().name(), e.code().value());
    } catch (const std::exception& e) {
        return rk::text::format(kExceptionDescription, e.what());
    } catch (...) {
    }
    return kUnknownException;
}

std::wstring format_exception_report(const std::exception_ptr& error, std::wstring_view message) {
    if (error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::system_error& e) {
            return rk::text::format(kSystemErrorReport, e.code().category().name(), message);
        } catch (const std::exception& e) {
            return rk::text::format(kExceptionReport, e.what(), message);
        } catch (...) {
        }
    }
    return rk::text::format(kExceptionReport, kUnknownException, message);
}

bool log_error_report(IErrorReportLogger& logger, const ErrorReport& report) {
    if (report.level < logger.threshold()) return false;
    logger.write(report.level, report.file, report.function, report.line, format_error_report(report));
    return true;
}

}  // namespace dira_doro
