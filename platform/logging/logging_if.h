// ETWLogging::CLoggingIf: the interface of every process logger
// implementation (the ETW logger, the file logger, the development logger).
//
// Virtual operations are declared in their documented slot order. The
// printf-style operations take a FormatArgs list (the counterpart of a
// va_list); a non-virtual variadic wrapper of the same name builds the list.
// Implementations that override one of them add `using CLoggingIf::Log;` (and
// so on) to keep the wrappers visible.
//
// Ownership: the object is owned by whoever holds its std::unique_ptr and is
// deleted through the virtual destructor. AddRef/Release keep the file
// logger's use count but never delete the object.
#pragma once

#include <string>

#include "platform/errors/win_error.h"
#include "platform/logging/log_level.h"
#include "platform/text/format.h"

namespace ETWLogging {

// The executable module a logger is named after (HMODULE on Windows; on Linux
// any address inside the module, resolved with dladdr).
using ModuleHandle = const void*;

class CLoggingIf {
public:
    CLoggingIf() = default;
    CLoggingIf(const CLoggingIf&) = delete;
    CLoggingIf& operator=(const CLoggingIf&) = delete;

    // 1
    virtual ~CLoggingIf() = default;
    // 2. group and host may be null (none); given but empty is invalid (87).
    virtual rk::DWORD Initialize(const wchar_t* group, ModuleHandle module, const wchar_t* host,
                                 rk::DWORD options) = 0;
    // 3. Registers with the trace system if not yet done (file logger: nothing).
    virtual rk::DWORD Start() = 0;
    // 4, 5
    virtual rk::DWORD GetModuleKey(std::wstring& out) const = 0;
    virtual rk::DWORD GetGroup(std::wstring& out) const = 0;
    // 6
    virtual rk::DWORD Uninitialize() = 0;
    // 7, 8
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool IsEnabled() const = 0;
    // 9. If enabled, the level passes and the format is non-empty: format and write.
    virtual rk::DWORD Log(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                          const wchar_t* format, rk::text::FormatArgs args) = 0;
    // 10
    virtual rk::DWORD Write(const wchar_t* file, const wchar_t* function, int line, LogLevel level,
                            const wchar_t* message) = 0;
    // 11
    virtual bool IsLevelEnabled(LogLevel level) const = 0;
    // 12 to 15: file logger only; other loggers ignore them and return 0.
    virtual void SetMaxEntries(rk::DWORD entries) = 0;
    virtual rk::DWORD GetMaxEntries() const = 0;
    virtual void SetMaxSize(rk::DWORD bytes) = 0;
    virtual rk::DWORD GetMaxSize() const = 0;
    // 16, 17: severity is clamped to 1..6 on every set.
    virtual void SetSeverity(LogLevel severity) = 0;
    virtual LogLevel GetSeverity() const = 0;
    // 18
    virtual void SetFlags(rk::DWORD flags) = 0;
    // 19, 20: the new / remaining use count.
    virtual rk::DWORD AddRef() = 0;
    virtual rk::DWORD Release() = 0;
    // 21 to 25: fixed-level shortcuts for levels 1, 4, 2, 5 and 3. Each
    // formats into a 4159-character buffer (truncating) and calls Write.
    virtual rk::DWORD LogNormal(const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                                rk::text::FormatArgs args);
    virtual rk::DWORD LogError(const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                               rk::text::FormatArgs args);
    virtual rk::DWORD LogWarning(const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                                 rk::text::FormatArgs args);
    virtual rk::DWORD LogCritical(const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                                  rk::text::FormatArgs args);
    virtual rk::DWORD LogInformation(const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                                     rk::text::FormatArgs args);

    template <typename... A>
    rk::DWORD Log(LogLevel level, const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                  const A&... args) {
        const auto list = rk::text::make_format_args(args...);
        return Log(level, file, function, line, format, rk::text::FormatArgs(list.data(), list.size()));
    }
    template <typename... A>
    rk::DWORD LogNormal(const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                        const A&... args) {
        const auto list = rk::text::make_format_args(args...);
        return LogNormal(file, function, line, format, rk::text::FormatArgs(list.data(), list.size()));
    }
    template <typename... A>
    rk::DWORD LogError(const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                       const A&... args) {
        const auto list = rk::text::make_format_args(args...);
        return LogError(file, function, line, format, rk::text::FormatArgs(list.data(), list.size()));
    }
    template <typename... A>
    rk::DWORD LogWarning(const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                         const A&... args) {
        const auto list = rk::text::make_format_args(args...);
        return LogWarning(file, function, line, format, rk::text::FormatArgs(list.data(), list.size()));
    }
    template <typename... A>
    rk::DWORD LogCritical(const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                          const A&... args) {
        const auto list = rk::text::make_format_args(args...);
        return LogCritical(file, function, line, format, rk::text::FormatArgs(list.data(), list.size()));
    }
    template <typename... A>
    rk::DWORD LogInformation(const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                             const A&... args) {
        const auto list = rk::text::make_format_args(args...);
        return LogInformation(file, function, line, format, rk::text::FormatArgs(list.data(), list.size()));
    }

protected:
    // The shortcuts' common path: format, cut to 4159 characters, Write.
    rk::DWORD WriteShortcut(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                            const wchar_t* format, rk::text::FormatArgs args);
};

}  // namespace ETWLogging
