// Test support: a process logger that keeps its lines in memory, so tests of
// any component can assert what it logged.
//
//   rk::logging::test::ScopedLogCapture capture;      // installed until scope end
//   component.DoSomething();
//   EXPECT_TRUE(capture.logger().Contains(L"Failed to open key"));
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/logging/logging_if_ex.h"

namespace rk::logging::test {

struct LogEntry {
    LogLevel level = 0;
    std::wstring file;
    std::wstring function;
    int line = 0;
    std::wstring message;
};

// Applies the ETW logger's rules (level >= severity or level 3, messages cut
// to 2080 characters) with severity 1 by default, so every line is kept.
// Thread-safe.
class CapturingLogger : public ETWLogging::CLoggingIf_ex {
public:
    using CLoggingIf_ex::Log;

    explicit CapturingLogger(LogLevel severity = rk::log_level::kMinLevel);

    std::vector<LogEntry> Entries() const;
    std::vector<std::wstring> Messages() const;
    // Whether any kept message contains `fragment`.
    bool Contains(std::wstring_view fragment) const;
    void Clear();
    // What Start() returns from now on (LogMessage passes a failure on).
    void SetStartResult(rk::DWORD result);

    rk::DWORD Initialize(const wchar_t* group, ETWLogging::ModuleHandle module, const wchar_t* host,
                         rk::DWORD options) override;
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
    rk::DWORD Initialize_ex(const wchar_t* applicationName, const wchar_t* group, ETWLogging::ModuleHandle module,
                            const wchar_t* host,
                            std::unique_ptr<ETWLogging::LoggingConfigListenerIf> listener) override;
    rk::DWORD LogV_ex(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                      const wchar_t* format, rk::text::FormatArgs args) override;
    rk::DWORD ControlCallback(rk::DWORD requestCode, void* context) override;
    void SetEventClassGuid() override;
    rk::DWORD GetModuleName(std::wstring& out, ETWLogging::ModuleHandle module, bool stripExtension) const override;
    void BuildModuleKey() override;
    rk::DWORD StopTrace() override;
    void FillRecord(const wchar_t* file, const wchar_t* function, int line,
                    ETWLogging::LogRecord& record) const override;

private:
    mutable std::mutex mutex_;
    std::vector<LogEntry> entries_;
    bool enabled_ = true;
    LogLevel severity_;
    rk::DWORD start_result_ = 0;
    rk::DWORD refs_ = 0;
};

}  // namespace rk::logging::test
