// ETWLogging::CLoggerBase: what the development and ETW loggers share: the
// identity they log under (group, host, image, module and module key), the
// switches and filter (enabled, severity, flags), the reference count, and
// Log/Write over LogV_ex/Write_ex.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/logging/logging_if_ex.h"

namespace ETWLogging {

class CLoggerBase : public CLoggingIf_ex {
public:
    using CLoggingIf_ex::Log;

    rk::DWORD GetModuleKey(std::wstring& out) const override;
    rk::DWORD GetGroup(std::wstring& out) const override;
    void SetEnabled(bool enabled) override;
    bool IsEnabled() const override;
    // Drops a line that is disabled, filtered out or has no format; LogV_ex
    // otherwise.
    rk::DWORD Log(LogLevel level, const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                  rk::text::FormatArgs args) override;
    rk::DWORD Write(const wchar_t* file, const wchar_t* function, int line, LogLevel level,
                    const wchar_t* message) override;
    bool IsLevelEnabled(LogLevel level) const override;
    // Entry and size limits belong to file logs: kept as 0.
    void SetMaxEntries(rk::DWORD entries) override;
    rk::DWORD GetMaxEntries() const override;
    void SetMaxSize(rk::DWORD bytes) override;
    rk::DWORD GetMaxSize() const override;
    // Clamped to 1-6.
    void SetSeverity(LogLevel severity) override;
    LogLevel GetSeverity() const override;
    void SetFlags(rk::DWORD flags) override;
    rk::DWORD AddRef() override;
    // Counts down to 0, never below; the owner deletes the logger.
    rk::DWORD Release() override;
    // "<group>\<module base name>", or the group alone without a module name.
    void BuildModuleKey() override;

protected:
    // The first step of initializing: kErrorAlreadyInitialized once
    // initialized, 87 for a group or host given as an empty text; otherwise
    // both are kept and the image name is read.
    rk::DWORD BeginInitialize(const wchar_t* group, const wchar_t* host);
    // RK_LOG_SEVERITY, when it holds a number, overrides the severity.
    void ApplySeverityFromEnvironment();

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
