// ETWLogging::CETWLogging: the default process logger, a trace provider.
// Its lines are events that reach a file only when a trace session (started
// by another program) records them; with no session they are dropped after
// the level filter, without being formatted.
//
// On Linux the trace system is LTTng-UST (etw_trace_writer.h): the classic
// event of one line is rklogs:level1..level5 (its ETW level), the structured
// event VKT:RKLOGS. A poller thread started by Start() stands in for the ETW
// control callback: when the sessions' wishes change it calls
// ControlCallback(4 or 5), which hands the session's level to the
// configuration listener.
//
// RK_LOG_STDERR (set, non-empty and not "0") additionally echoes every line
// that passes the filter to standard error in the development logger's
// layout; RK_LOG_SEVERITY sets the severity after initialization.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/text/guid.h"
#include "platform/logging/etw_app_properties.h"
#include "platform/logging/etw_trace_writer.h"
#include "platform/logging/logger_base.h"

namespace ETWLogging {

// Request codes of the control callback (WMI_ENABLE_EVENTS, WMI_DISABLE_EVENTS).
inline constexpr rk::DWORD kWmiEnableEvents = 4;
inline constexpr rk::DWORD kWmiDisableEvents = 5;

// The event-class GUID of the classic event.
inline constexpr rk::win::GUID kEventClassGuid{
    0xCD1DAAD0, 0x54CC, 0x11E0, {0xB8, 0xAF, 0x08, 0x00, 0x20, 0x0C, 0x9A, 0x66}};
// The structured provider's identity (TraceLogging provider "VKT", event "RKLOGS").
inline constexpr const wchar_t* kStructuredProviderName = L"VKT";
inline constexpr const wchar_t* kStructuredEventName = L"RKLOGS";
inline constexpr rk::win::GUID kStructuredProviderGuid{
    0xB8DDCEA7, 0xB520, 0x4909, {0xBC, 0xEB, 0xE0, 0x17, 0x0C, 0x9F, 0x0E, 0x99}};

// SetFlags bit 0: the structured provider is registered.
inline constexpr rk::DWORD kFlagStructuredProvider = 0x1;

// What the trace system hands to ControlCallback with an enable request.
struct TraceEnableContext {
    std::uint64_t logger_handle = 0;  // 0: invalid
    LogLevel enable_level = 0;
    rk::DWORD enable_flags = 0;
};

// How often the poller looks at the sessions' state.
inline constexpr std::chrono::milliseconds kSessionPollInterval{100};

// The version of the product compiled into this program ("%u.%u.%u.%u"),
// which stands for the module's version resource.
const wchar_t* ModuleFileVersion();

class CETWLogging final : public CLoggerBase {
public:
    using CLoggingIf_ex::Log_ex;

    CETWLogging();
    // Tests hand in their trace writer and echo descriptor (-1: none).
    CETWLogging(std::unique_ptr<internal::TraceWriterIf> writer, int echoFd,
                std::chrono::milliseconds pollInterval = kSessionPollInterval);
    ~CETWLogging() override;

    rk::DWORD Initialize(const wchar_t* group, ModuleHandle module, const wchar_t* host, rk::DWORD options) override;
    rk::DWORD Start() override;
    rk::DWORD Uninitialize() override;
    bool IsLevelEnabled(LogLevel level) const override;
    void SetFlags(rk::DWORD flags) override;

    rk::DWORD Initialize_ex(const wchar_t* applicationName, const wchar_t* group, ModuleHandle module,
                            const wchar_t* host, std::unique_ptr<LoggingConfigListenerIf> listener) override;
    rk::DWORD LogV_ex(LogLevel level, const wchar_t* file, const wchar_t* function, int line,
                      const wchar_t* format, rk::text::FormatArgs args) override;
    rk::DWORD ControlCallback(rk::DWORD requestCode, void* context) override;
    void SetEventClassGuid() override;
    rk::DWORD GetModuleName(std::wstring& out, ModuleHandle module, bool stripExtension) const override;
    rk::DWORD StopTrace() override;
    void FillRecord(const wchar_t* file, const wchar_t* function, int line, LogRecord& record) const override;

    // Compares the sessions' state with the last one seen and calls
    // ControlCallback on a change. The poller runs it; tests may too.
    void PollSession();

    bool IsStarted() const;
    bool IsAttached() const { return trace_logger_handle_.load() != 0; }
    bool IsStructuredProviderRegistered() const { return structured_registered_.load(); }
    rk::DWORD GetFlags() const { return flags_.load(); }
    const internal::ETWAppProperties& properties() const { return properties_; }
    const rk::win::GUID& event_class_guid() const { return event_class_guid_; }

private:
    void PollerLoop();

    std::unique_ptr<internal::TraceWriterIf> writer_;
    const int echo_fd_;
    const std::chrono::milliseconds poll_interval_;

    std::atomic<bool> structured_registered_{false};
    std::atomic<std::uint64_t> trace_logger_handle_{0};

    // Start/StopTrace (the registration) and the poller thread.
    mutable std::mutex registration_mutex_;
    bool started_ = false;
    std::thread poller_;
    std::mutex poller_mutex_;
    std::condition_variable poller_wake_;
    bool poller_stop_ = false;

    // The session state last handed to ControlCallback.
    std::mutex poll_mutex_;
    internal::TraceSessionState last_session_;

    std::uint32_t process_id_ = 0;
    std::wstring last_application_name_;
    std::wstring module_file_version_;
    rk::win::GUID event_class_guid_{};
    // UTF-8 forms of the fields that do not change per line.
    std::string image_utf8_, module_utf8_, version_utf8_, group_utf8_;
    internal::ETWAppProperties properties_;
};

}  // namespace ETWLogging
