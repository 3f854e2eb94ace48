// The trace system of a build without LTTng: no session ever listens.
#include "platform/logging/etw_trace_writer.h"

namespace ETWLogging::internal {

std::unique_ptr<TraceWriterIf> MakeTraceWriter() { return MakeNoTraceWriter(); }

bool TraceSystemAvailable() { return false; }

}  // namespace ETWLogging::internal
