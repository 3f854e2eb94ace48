// ETWLogging::CDevelopmentLogging: the process logger used until the ETW and
// file loggers exist. It applies the ETW logger's rules (severity 3 by
// default, level 3 always passes, messages cut to 2080 characters) and writes
// each line to a file descriptor, normally standard error, or drops it.
//
// Line layout (UTF-8, one write per line):
//   2026-12-05T14:03:07.512Z Information(6) [1234:1240] CFoo::Bar (foo.cpp:42): message
// time in UTC with milliseconds, level name and number, process and thread
// ID, function, source file name (after the last '\' or '/') and line.
#pragma once

#include <memory>
#include <string>

#include "platform/logging/logger_base.h"

namespace ETWLogging {

// Set (non-empty, not "0"): the builder's development logger writes to
// standard error. Otherwise its lines are dropped.
inline constexpr const char* kLogStderrVariable = "RK_LOG_STDERR";
// Optional: the development logger's initial severity (1 to 6, clamped).
inline constexpr const char* kLogSeverityVariable = "RK_LOG_SEVERITY";

class CDevelopmentLogging final : public CLoggerBase {
public:

    // fd < 0: lines are filtered and dropped. The descriptor is not owned.
    explicit CDevelopmentLogging(int fd);
    ~CDevelopmentLogging() override;

    // The descriptor the environment asks for: 2 when RK_LOG_STDERR is set, else -1.
    static int OutputFromEnvironment();

    // One formatted line, without writing it (exposed for tests).
    static std::string FormatLine(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                                  std::wstring_view message, std::uint32_t processId, std::uint32_t threadId,
                                  std::int64_t unixMillis);

    rk::DWORD Initialize(const wchar_t* group, ModuleHandle module, const wchar_t* host, rk::DWORD options) override;
    rk::DWORD Start() override;
    rk::DWORD Uninitialize() override;

    rk::DWORD Initialize_ex(const wchar_t* applicationName, const wchar_t* group, ModuleHandle module,
                            const wchar_t* host, std::unique_ptr<LoggingConfigListenerIf> listener) override;
    rk::DWORD LogV_ex(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                      const wchar_t* format, rk::text::FormatArgs args) override;
    rk::DWORD ControlCallback(rk::DWORD requestCode, void* context) override;
    void SetEventClassGuid() override;
    rk::DWORD GetModuleName(std::wstring& out, ModuleHandle module, bool stripExtension) const override;
    rk::DWORD StopTrace() override;
    void FillRecord(const wchar_t* file, const wchar_t* function, int line, LogRecord& record) const override;

private:
    rk::DWORD InitializeCommon(const wchar_t* group, ModuleHandle module, const wchar_t* host,
                               std::unique_ptr<LoggingConfigListenerIf> listener);
    void WriteLine(const std::string& line) const;

    const int fd_;
};

}  // namespace ETWLogging
