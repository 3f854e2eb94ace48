#include "platform/logging/logging_if.h"

#include <exception>

#include "platform/logging/logging_errors.h"
#include "platform/logging/logging_if_ex.h"

namespace ETWLogging {

rk::DWORD CLoggingIf::WriteShortcut(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                                    const wchar_t* format, rk::text::FormatArgs args) {
    if (format == nullptr) {
        return rk::win::kErrorInvalidParameter;
    }
    std::wstring message = rk::text::vformat(format, args);
    if (message.size() > kShortcutBufferChars) {
        message.resize(kShortcutBufferChars);
    }
    return Write(file, function, line, level, message.c_str());
}

rk::DWORD CLoggingIf::LogNormal(const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                                rk::text::FormatArgs args) {
    return WriteShortcut(rk::log_level::kNormal, file, function, line, format, args);
}

rk::DWORD CLoggingIf::LogError(const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                               rk::text::FormatArgs args) {
    return WriteShortcut(rk::log_level::kError, file, function, line, format, args);
}

rk::DWORD CLoggingIf::LogWarning(const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                                 rk::text::FormatArgs args) {
    return WriteShortcut(rk::log_level::kWarning, file, function, line, format, args);
}

rk::DWORD CLoggingIf::LogCritical(const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                                  rk::text::FormatArgs args) {
    return WriteShortcut(rk::log_level::kCritical, file, function, line, format, args);
}

rk::DWORD CLoggingIf::LogInformation(const wchar_t* file, const wchar_t* function, int line,
                                     const wchar_t* format, rk::text::FormatArgs args) {
    return WriteShortcut(rk::log_level::kInformation, file, function, line, format, args);
}

rk::DWORD CLoggingIf_ex::Write_ex(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                                  const wchar_t* message) {
    try {
        return Log_ex(level, file, function, line, L"%s", message);
    } catch (...) {
        return kErrorWriteFailed;
    }
}

rk::DWORD CLoggingIf_ex::Log_ex(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                                const wchar_t* format, rk::text::FormatArgs args) {
    return LogV_ex(level, file, function, line, format, args);
}

rk::DWORD CLoggingIf_ex::Shutdown() {
    SetEnabled(false);
    return StopTrace();
}

LogLevel CLoggingIf_ex::MapLevel(LogLevel level) const { return rk::log_level::etw_level(level); }

}  // namespace ETWLogging
