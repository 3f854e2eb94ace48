// The component logger of the framework client and the trust validator:
// lines prefixed "[framework] " or "[trust] " by their texts, formatted into
// a buffer of 8192 characters ("<{!truncated!}>" ends a longer one) and
// written through the process logger, whose trace provider carries them.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "platform/errors/error_report.h"
#include "platform/logging/log_level.h"
#include "platform/text/format.h"

namespace ctp::detail {

class component_logger final : public dira_doro::IErrorReportLogger {
public:
    static constexpr std::size_t kBufferSize = 8192;  // characters, the terminator included

    // The process's one logger, set up on first use.
    static component_logger& instance();

    // A line is written when its level is 6 or at least the threshold.
    bool passes(LogLevel level) const;
    void set_threshold(LogLevel level) { threshold_.store(level); }

    void vlog(LogLevel level, const char* file, const char* function, int line, const wchar_t* format,
              rk::text::FormatArgs args);

    template <typename... A>
    void log(LogLevel level, const char* file, const char* function, int line, const wchar_t* format,
             const A&... args) {
        if (!passes(level)) {
            return;
        }
        const auto list = rk::text::make_format_args(args...);
        vlog(level, file, function, line, format, rk::text::FormatArgs(list.data(), list.size()));
    }

    // Formats and writes an error report (its own level and position).
    void report(const dira_doro::ErrorReport& report);

    // The product version that stamps the lines ("{no-product-version}" when
    // unknown).
    const std::wstring& product_version() const { return product_version_; }
    // False when the provider could not be set up ("initialize_provider
    // failed"); lines are then dropped.
    bool provider_ready() const { return provider_ready_; }

    // IErrorReportLogger
    dira_doro::ReportLevel threshold() const override { return threshold_.load(); }
    void write(dira_doro::ReportLevel level, std::string_view file, std::string_view function, int line,
               std::wstring_view text) override;

    // The message as the buffer holds it: at most kBufferSize - 1
    // characters, the cut ones ending with the truncation marker.
    static std::wstring bounded(std::wstring text);

private:
    component_logger();

    std::atomic<LogLevel> threshold_{rk::log_level::kError};
    std::wstring product_version_;
    bool provider_ready_ = false;
};

}  // namespace ctp::detail

// Shorthand for the component's lines: CTP_LOG(6, L"[framework] ...", args).
#define CTP_LOG(level, ...) \
    ::ctp::detail::component_logger::instance().log((level), __FILE__, __func__, __LINE__, __VA_ARGS__)
