// The trace writer of a build without LTTng: no session ever listens.
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

std::unique_ptr<TraceWriterIf> MakeTraceWriter() { return std::make_unique<NoTraceWriter>(); }

bool TraceSystemAvailable() { return false; }

}  // namespace ETWLogging::internal
