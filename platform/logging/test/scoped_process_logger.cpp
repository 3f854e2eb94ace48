#include "platform/logging/test/scoped_process_logger.h"

#include "platform/logging/process_logger_holder.h"

namespace rk::logging::test {

ScopedProcessLogger::ScopedProcessLogger(std::unique_ptr<ETWLogging::CLoggingIf> logger)
    : previous_(GetProcessLogger().ExchangeLogger(std::move(logger))) {}

ScopedProcessLogger::~ScopedProcessLogger() { GetProcessLogger().ExchangeLogger(std::move(previous_)); }

namespace {

std::unique_ptr<ETWLogging::CLoggingIf> make_capture(LogLevel severity, CapturingLogger*& raw) {
    auto logger = std::make_unique<CapturingLogger>(severity);
    raw = logger.get();
    return logger;
}

}  // namespace

ScopedLogCapture::ScopedLogCapture(LogLevel severity) : logger_(nullptr), scope_(make_capture(severity, logger_)) {}

}  // namespace rk::logging::test
