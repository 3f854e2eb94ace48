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

#include "platform/logging/logger_base.h"

namespace rk::logging::test {

struct LogEntry {
    LogLevel level = 0;
    std::wstring file;
    std::wstring function;
    int line = 0;
    std::wstring message;
};

// Applies the ETW logger's rules (the shared logger base's switches and
// filter: level >= severity or level 3; messages cut to 2080 characters)
// with severity 1 by default, so every line is kept. Thread-safe.
class CapturingLogger : public ETWLogging::CLoggerBase {
public:
    using CLoggerBase::Log;

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
    rk::DWORD Uninitialize() override;
    rk::DWORD Initialize_ex(const wchar_t* applicationName, const wchar_t* group, ETWLogging::ModuleHandle module,
                            const wchar_t* host,
                            std::unique_ptr<ETWLogging::LoggingConfigListenerIf> listener) override;
    rk::DWORD LogV_ex(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                      const wchar_t* format, rk::text::FormatArgs args) override;
    rk::DWORD ControlCallback(rk::DWORD requestCode, void* context) override;
    void SetEventClassGuid() override;
    rk::DWORD GetModuleName(std::wstring& out, ETWLogging::ModuleHandle module, bool stripExtension) const override;
    rk::DWORD StopTrace() override;
    void FillRecord(const wchar_t* file, const wchar_t* function, int line,
                    ETWLogging::LogRecord& record) const override;

private:
    mutable std::mutex mutex_;
    std::vector<LogEntry> entries_;
    rk::DWORD start_result_ = 0;
};

}  // namespace rk::logging::test
