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

#include <atomic>
#include <memory>
#include <string>

#include "platform/logging/logging_if_ex.h"

namespace ETWLogging {

// Set (non-empty, not "0"): the builder's development logger writes to
// standard error. Otherwise its lines are dropped.
inline constexpr const char* kLogStderrVariable = "RK_LOG_STDERR";
// Optional: the development logger's initial severity (1 to 6, clamped).
inline constexpr const char* kLogSeverityVariable = "RK_LOG_SEVERITY";

class CDevelopmentLogging final : public CLoggingIf_ex {
public:
    using CLoggingIf_ex::Log;

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
    rk::DWORD GetModuleKey(std::wstring& out) const override;
    rk::DWORD GetGroup(std::wstring& out) const override;
    rk::DWORD Uninitialize() override;
    void SetEnabled(bool enabled) override;
    bool IsEnabled() const override;
    rk::DWORD Log(LogLevel level, const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                  rk::text::FormatArgs args) override;
    rk::DWORD Write(const wchar_t* file, const wchar_t* function, int line, LogLevel level,
                    const wchar_t* message) override;
    bool IsLevelEnabled(LogLevel level) const override;
    void SetMaxEntries(rk::DWORD entries) override;
    rk::DWORD GetMaxEntries() const override;
    void SetMaxSize(rk::DWORD bytes) override;
    rk::DWORD GetMaxSize() const override;
    void SetSeverity(LogLevel severity) override;
    LogLevel GetSeverity() const override;
    void SetFlags(rk::DWORD flags) override;
    rk::DWORD AddRef() override;
    rk::DWORD Release() override;

    rk::DWORD Initialize_ex(const wchar_t* applicationName, const wchar_t* group, ModuleHandle module,
                            const wchar_t* host, std::unique_ptr<LoggingConfigListenerIf> listener) override;
    rk::DWORD LogV_ex(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                      const wchar_t* format, rk::text::FormatArgs args) override;
    rk::DWORD ControlCallback(rk::DWORD requestCode, void* context) override;
    void SetEventClassGuid() override;
    rk::DWORD GetModuleName(std::wstring& out, ModuleHandle module, bool stripExtension) const override;
    void BuildModuleKey() override;
    rk::DWORD StopTrace() override;
    void FillRecord(const wchar_t* file, const wchar_t* function, int line, LogRecord& record) const override;

private:
    rk::DWORD InitializeCommon(const wchar_t* group, ModuleHandle module, const wchar_t* host,
                               std::unique_ptr<LoggingConfigListenerIf> listener);
    void WriteLine(const std::string& line) const;

    const int fd_;
    std::atomic<bool> initialized_{false};
    std::atomic<bool> enabled_{true};
    std::atomic<LogLevel> severity_{rk::log_level::kDefaultSeverity};
    std::atomic<rk::DWORD> flags_{0};
    std::atomic<rk::DWORD> refs_{0};
    std::wstring group_;
    std::wstring host_;
    std::wstring image_name_;
    std::wstring module_base_name_;
    std::wstring module_file_name_;
    std::wstring module_key_;
    std::unique_ptr<LoggingConfigListenerIf> listener_;
};

}  // namespace ETWLogging
