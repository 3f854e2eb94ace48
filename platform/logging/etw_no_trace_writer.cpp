// The trace writer that never sees a session: builds without LTTng, and
// programs that cannot load the LTTng module.
#include "platform/logging/etw_trace_writer.h"

namespace ETWLogging::internal {
namespace {

class NoTraceWriter final : public TraceWriterIf {
public:
    TraceSessionState Poll() const override { return {}; }
    bool IsClassicEnabled(LogLevel) const override { return false; }
    bool IsStructuredEnabled() const override { return false; }
    void WriteClassic(const ClassicEvent&) override {}
    void WriteStructured(const StructuredEvent&) override {}
};

}  // namespace

std::unique_ptr<TraceWriterIf> MakeNoTraceWriter() { return std::make_unique<NoTraceWriter>(); }

}  // namespace ETWLogging::internal
