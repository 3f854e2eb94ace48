// The trace writer over LTTng-UST: tracepoints rklogs:level1..5 and
// VKT:RKLOGS (probes in etw_tracepoints.c). Built into the module
// librk_etw_lttng.so with the probes. A tracepoint's enabled state is
// a memory word that LTTng's listener thread updates when a session changes,
// so polling it costs a few loads.
#include <string>

#include "platform/logging/etw_trace_writer.h"
#include "platform/logging/etw_tracepoints.h"
#include "platform/logging/etw_tracepoints_vkt.h"

namespace ETWLogging::internal {
namespace {

bool classic_enabled(LogLevel etwLevel) {
    switch (etwLevel) {
        case 1: return lttng_ust_tracepoint_enabled(rklogs, level1);
        case 2: return lttng_ust_tracepoint_enabled(rklogs, level2);
        case 3: return lttng_ust_tracepoint_enabled(rklogs, level3);
        case 4: return lttng_ust_tracepoint_enabled(rklogs, level4);
        case 5: return lttng_ust_tracepoint_enabled(rklogs, level5);
        default: return false;
    }
}

// LTTng strings are NUL-terminated; the views handed in are not.
class TerminatedText {
public:
    explicit TerminatedText(std::string_view text) : text_(text) {}
    const char* c_str() const { return text_.c_str(); }

private:
    std::string text_;
};

class LttngTraceWriter final : public TraceWriterIf {
public:
    TraceSessionState Poll() const override {
        TraceSessionState state;
        for (LogLevel level = 1; level <= 5; ++level) {
            if (classic_enabled(level)) {
                state.level = level;
                break;
            }
        }
        if (IsStructuredEnabled()) {
            state.flags = 1;
            if (state.level == 0) {
                state.level = 1;  // the structured event is verbose: it wants every line
            }
        }
        state.enabled = state.level != 0;
        return state;
    }

    bool IsClassicEnabled(LogLevel etwLevel) const override { return classic_enabled(etwLevel); }

    bool IsStructuredEnabled() const override { return lttng_ust_tracepoint_enabled(VKT, RKLOGS); }

    void WriteClassic(const ClassicEvent& event) override {
        const TerminatedText image(event.image), file(event.file), function(event.function), module(event.module),
            version(event.version), group(event.group);
        rk_etw_classic_event ev{};
        ev.pid = event.process_id;
        ev.tid = event.thread_id;
        ev.image = image.c_str();
        ev.file = file.c_str();
        ev.function = function.c_str();
        ev.line = event.line;
        ev.module = module.c_str();
        ev.version = version.c_str();
        ev.group = group.c_str();
        ev.message_length = event.message.size();
        ev.message = event.message.data();
        ev.record = event.record;
        ev.record_length = static_cast<std::uint32_t>(event.record_length);
        switch (event.etw_level) {
            case 1: lttng_ust_do_tracepoint(rklogs, level1, &ev); break;
            case 2: lttng_ust_do_tracepoint(rklogs, level2, &ev); break;
            case 3: lttng_ust_do_tracepoint(rklogs, level3, &ev); break;
            case 4: lttng_ust_do_tracepoint(rklogs, level4, &ev); break;
            case 5: lttng_ust_do_tracepoint(rklogs, level5, &ev); break;
            default: break;
        }
    }

    void WriteStructured(const StructuredEvent& event) override {
        const TerminatedText group(event.group), module(event.module), version(event.version), file(event.file),
            function(event.function);
        rk_etw_structured_event ev{};
        ev.group = group.c_str();
        ev.module = module.c_str();
        ev.version = version.c_str();
        ev.file = file.c_str();
        ev.function = function.c_str();
        ev.line = event.line;
        ev.message = event.message.data();
        ev.message_length = static_cast<std::uint32_t>(event.message.size());
        lttng_ust_do_tracepoint(VKT, RKLOGS, &ev);
    }
};

}  // namespace

}  // namespace ETWLogging::internal

// The module's one export (etw_trace_writer_module.cpp loads it).
extern "C" __attribute__((visibility("default"))) ETWLogging::internal::TraceWriterIf* rk_etw_lttng_writer() {
    return new ETWLogging::internal::LttngTraceWriter();
}
