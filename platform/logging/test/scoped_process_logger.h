// Test support: replaces the process logger for one scope.
//
// Install before the code under test starts threads that log, and let the
// scope end after they have stopped: exchanging the logger is not
// synchronized with logging threads.
#pragma once

#include <memory>

#include "platform/logging/logging_if.h"
#include "platform/logging/test/capturing_logger.h"

namespace rk::logging::test {

// Installs `logger` (null: the process has no logger, LogMessage returns
// 1627) and puts the previous logger back at scope end.
class ScopedProcessLogger {
public:
    explicit ScopedProcessLogger(std::unique_ptr<ETWLogging::CLoggingIf> logger);
    ~ScopedProcessLogger();
    ScopedProcessLogger(const ScopedProcessLogger&) = delete;
    ScopedProcessLogger& operator=(const ScopedProcessLogger&) = delete;

private:
    std::unique_ptr<ETWLogging::CLoggingIf> previous_;
};

// Installs a CapturingLogger (severity 1 unless told: every line is kept).
class ScopedLogCapture {
public:
    explicit ScopedLogCapture(LogLevel severity = rk::log_level::kMinLevel);
    CapturingLogger& logger() { return *logger_; }

private:
    CapturingLogger* logger_;  // owned by the process logger holder while installed
    ScopedProcessLogger scope_;
};

}  // namespace rk::logging::test
