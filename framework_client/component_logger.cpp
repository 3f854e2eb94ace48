#include "framework_client/component_logger.h"

#include "framework_client/framework_words.h"
#include "platform/logging/etw_logging.h"
#include "platform/logging/process_logger.h"
#include "platform/logging/process_logger_holder.h"
#include "platform/text/utf.h"

namespace ctp::detail {

component_logger& component_logger::instance() {
    static component_logger logger;
    return logger;
}

component_logger::component_logger() {
    const wchar_t* version = ETWLogging::ModuleFileVersion();
    product_version_ = version != nullptr && *version != L'\0' ? version : kNoProductVersion;
    provider_ready_ = rk::logging::ProcessLoggerOrNull() != nullptr;
    if (!provider_ready_) {
        // Nothing else can tell: the process has no logger.
        LogMessage(rk::log_level::kError, L"component_logger.cpp", L"ctp::detail::component_logger", __LINE__,
                   kInitializeProviderFailed);
    }
}

bool component_logger::passes(LogLevel level) const {
    return level == rk::log_level::kProgress || level >= threshold_.load();
}

std::wstring component_logger::bounded(std::wstring text) {
    constexpr std::size_t kMax = kBufferSize - 1;
    if (text.size() > kMax) {
        constexpr std::size_t kMarker = std::char_traits<wchar_t>::length(kTruncated);
        text.resize(kMax - kMarker);
        text += kTruncated;
    }
    return text;
}

void component_logger::vlog(LogLevel level, const char* file, const char* function, int line, const wchar_t* format,
                            rk::text::FormatArgs args) {
    if (!passes(level)) {
        return;
    }
    write(level, file, function, line, bounded(rk::text::vformat(format, args)));
}

void component_logger::report(const dira_doro::ErrorReport& report) { dira_doro::log_error_report(*this, report); }

void component_logger::write(dira_doro::ReportLevel level, std::string_view file, std::string_view function, int line,
                             std::wstring_view text) {
    if (!IsLogLevelEnabled(level)) {
        return;
    }
    const std::wstring wide_file = rk::text::utf8_to_wide(file);
    const std::wstring wide_function = rk::text::utf8_to_wide(function);
    LogMessage(level, wide_file.c_str(), wide_function.c_str(), line, L"%ls", text);
}

}  // namespace ctp::detail
