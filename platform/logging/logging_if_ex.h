// ETWLogging::CLoggingIf_ex: the extended logger interface. LogMessage prefers
// LogV_ex when a logger offers it. Virtual operations in documented slot
// order, after those of CLoggingIf.
#pragma once

#include <memory>
#include <string>

#include "platform/logging/log_record.h"
#include "platform/logging/logging_config_listener_if.h"
#include "platform/logging/logging_if.h"

namespace ETWLogging {

class CLoggingIf_ex : public CLoggingIf {
public:
    using CLoggingIf::Log;

    // 1. applicationName null or empty: the default application. listener
    // null: the logger makes its own.
    virtual rk::DWORD Initialize_ex(const wchar_t* applicationName, const wchar_t* group, ModuleHandle module,
                                    const wchar_t* host, std::unique_ptr<LoggingConfigListenerIf> listener) = 0;
    // 2. Log_ex with the format "%s" and the message; an exception becomes 1.
    virtual rk::DWORD Write_ex(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                               const wchar_t* message);
    // 3. No format: 87; disabled or filtered out: 0.
    virtual rk::DWORD LogV_ex(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                              const wchar_t* format, rk::text::FormatArgs args) = 0;
    // 4. The same as LogV_ex.
    virtual rk::DWORD Log_ex(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                             const wchar_t* format, rk::text::FormatArgs args);
    // 5. The trace system's enable (4) / disable (5) notification; context is
    // what the trace system passes with it.
    virtual rk::DWORD ControlCallback(rk::DWORD requestCode, void* context) = 0;
    // 6
    virtual void SetEventClassGuid() = 0;
    // 7. The module's file name, without its extension when asked.
    virtual rk::DWORD GetModuleName(std::wstring& out, ModuleHandle module, bool stripExtension) const = 0;
    // 8. group "\" module base name, or the group alone without a module name.
    virtual void BuildModuleKey() = 0;
    // 9
    virtual rk::DWORD StopTrace() = 0;
    // 10. SetEnabled(false), then StopTrace().
    virtual rk::DWORD Shutdown();
    // 11. 6 becomes 3, other levels unchanged.
    virtual LogLevel MapLevel(LogLevel level) const;
    // 12
    virtual void FillRecord(const wchar_t* file, const wchar_t* function, int line, LogRecord& record) const = 0;

    template <typename... A>
    rk::DWORD Log_ex(LogLevel level, const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                     const A&... args) {
        const auto list = rk::text::make_format_args(args...);
        return Log_ex(level, file, function, line, format, rk::text::FormatArgs(list.data(), list.size()));
    }
};

}  // namespace ETWLogging
