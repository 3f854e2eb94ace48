// ETWLogging::internal::TraceWriterIf: the trace system under the ETW logger.
// On Linux it is LTTng-UST (etw_trace_writer_lttng.cpp); a build without
// LTTng gets a writer that never sees a session (etw_trace_writer_none.cpp),
// so lines are formatted only for the standard-error echo and then dropped.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/errors/win_error.h"
#include "platform/logging/log_level.h"

namespace ETWLogging::internal {

// What the sessions listening to the provider ask for, as the ETW control
// callback would learn it.
struct TraceSessionState {
    bool enabled = false;   // some session records one of the provider's events
    LogLevel level = 0;     // the session's level: the lowest ETW level it records
    rk::DWORD flags = 0;    // bit 0: a session records the structured event

    bool operator==(const TraceSessionState&) const = default;
};

// The classic event of one line; strings UTF-8.
struct ClassicEvent {
    LogLevel etw_level = 0;  // 1 to 5
    std::uint32_t process_id = 0;
    std::uint32_t thread_id = 0;
    std::string_view image;
    std::string_view file;
    std::string_view function;
    std::uint32_t line = 0;
    std::string_view module;
    std::string_view version;
    std::string_view group;
    std::string_view message;
    const std::uint8_t* record = nullptr;  // the record blob (etw_record_blob.h)
    std::size_t record_length = 0;
};

// The structured ("TraceLogging") event of provider "VKT", event "RKLOGS".
struct StructuredEvent {
    std::string_view group;
    std::string_view module;
    std::string_view version;
    std::string_view file;
    std::string_view function;
    std::uint32_t line = 0;
    std::string_view message;
};

class TraceWriterIf {
public:
    TraceWriterIf() = default;
    TraceWriterIf(const TraceWriterIf&) = delete;
    TraceWriterIf& operator=(const TraceWriterIf&) = delete;
    virtual ~TraceWriterIf() = default;

    // Reads the sessions' current wishes; memory reads only, no system call.
    virtual TraceSessionState Poll() const = 0;
    // Whether a session records the classic event of this ETW level (1 to 5)
    // or the structured event right now. Memory reads only.
    virtual bool IsClassicEnabled(LogLevel etwLevel) const = 0;
    virtual bool IsStructuredEnabled() const = 0;
    virtual void WriteClassic(const ClassicEvent& event) = 0;
    virtual void WriteStructured(const StructuredEvent& event) = 0;
};

// The build's trace system (LTTng-UST, or none). With LTTng the writer lives
// in a module (librk_etw_lttng.so) loaded at the first Poll of a writer this
// returns: liblttng-ust starts threads and registers with the session daemon
// when it is loaded, which programs that never log should not pay for. A
// module that cannot be loaded gives the answers of the writer without
// sessions.
std::unique_ptr<TraceWriterIf> MakeTraceWriter();
std::unique_ptr<TraceWriterIf> MakeNoTraceWriter();
// True when the build has a trace system.
bool TraceSystemAvailable();

}  // namespace ETWLogging::internal
