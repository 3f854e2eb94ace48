// The process logger holder: one static instance, created on first use with
// the program's fixed creation parameters, alive until process exit.
//
// While it holds a logger, DiraDoro::CLogger messages are routed into it
// through the holder's CDiraDoroLogHandler.
#pragma once

#include <atomic>
#include <memory>

#include "platform/logging/logging_if.h"

namespace ETWLogging {
class CDiraDoroLogHandler;
}

namespace rk::logging {

// Creation parameters of the process logger.
inline constexpr const wchar_t* kProcessLoggerGroup = L"_no_group";
inline constexpr const wchar_t* kProcessLoggerHost = L"_no_host";
inline constexpr rk::DWORD kProcessLoggerMechanism = 0;  // no override

class ProcessLoggerHolder {
public:
    // `logger` null: the process has no logger. Otherwise the DiraDoro bridge
    // is registered with DiraDoro::CLogger.
    explicit ProcessLoggerHolder(std::unique_ptr<ETWLogging::CLoggingIf> logger);
    ~ProcessLoggerHolder();
    ProcessLoggerHolder(const ProcessLoggerHolder&) = delete;
    ProcessLoggerHolder& operator=(const ProcessLoggerHolder&) = delete;

    // Null when the process has no logger.
    ETWLogging::CLoggingIf* logger() const noexcept { return current_.load(std::memory_order_acquire); }

    // Puts `logger` (may be null) in place of the current one and returns the
    // previous one. For tests (platform/logging/test/scoped_process_logger.h):
    // no other thread may be logging while loggers are exchanged.
    std::unique_ptr<ETWLogging::CLoggingIf> ExchangeLogger(std::unique_ptr<ETWLogging::CLoggingIf> logger) noexcept;

    // Whether the DiraDoro bridge was registered by this holder.
    bool RoutesDiraDoro() const noexcept { return bridge_ != nullptr; }

private:
    std::unique_ptr<ETWLogging::CLoggingIf> owned_;
    std::atomic<ETWLogging::CLoggingIf*> current_{nullptr};
    ETWLogging::CDiraDoroLogHandler* bridge_ = nullptr;
};

// Builds the process logger with the fixed creation parameters through
// ETWLogging::CDefaultLogBuilder; null when the builder refuses.
std::unique_ptr<ETWLogging::CLoggingIf> CreateProcessLogger();

// The process logger (creating the holder on first use), or null when there
// is none. Also null once the holder has been destroyed at exit, so static
// objects destroyed after it can still log (and get 1627).
ETWLogging::CLoggingIf* ProcessLoggerOrNull() noexcept;

}  // namespace rk::logging

// The process logger holder; created on the first call (thread-safe). A
// failure of that creation itself ends the process.
rk::logging::ProcessLoggerHolder& GetProcessLogger() noexcept;
