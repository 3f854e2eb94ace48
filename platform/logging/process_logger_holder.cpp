#include "platform/logging/process_logger_holder.h"

#include "platform/logging/default_log_builder.h"
#include "platform/logging/dira_doro_log_handler.h"
#include "platform/logging/dira_doro_logger.h"
#include "platform/logging/process_facts.h"

namespace rk::logging {
namespace {

// The one bridge of the process. Never destroyed, so DiraDoro::CLogger can
// still reach it while static objects are torn down at exit.
ETWLogging::CDiraDoroLogHandler& dira_doro_bridge() {
    static auto* const bridge = new ETWLogging::CDiraDoroLogHandler();
    return *bridge;
}

// Set when the process holder is destroyed at exit. Trivially destructible,
// so it can be read after every other static object is gone.
constinit std::atomic<bool> g_holder_destroyed{false};

// The static instance: flags its own destruction before the holder goes.
struct ProcessHolderInstance {
    ProcessLoggerHolder holder{CreateProcessLogger()};
    ~ProcessHolderInstance() { g_holder_destroyed.store(true, std::memory_order_release); }
};

}  // namespace

ProcessLoggerHolder::ProcessLoggerHolder(std::unique_ptr<ETWLogging::CLoggingIf> logger)
    : owned_(std::move(logger)), current_(owned_.get()) {
    if (owned_ == nullptr) {
        return;
    }
    ETWLogging::CDiraDoroLogHandler& bridge = dira_doro_bridge();
    if (!bridge.Attach(this)) {
        return;  // another holder already routes DiraDoro messages
    }
    if (DiraDoro::CLogger::RegisterHandler(&bridge) == rk::win::kErrorSuccess) {
        bridge_ = &bridge;
    } else {
        bridge.Detach(this);
    }
}

ProcessLoggerHolder::~ProcessLoggerHolder() {
    if (bridge_ != nullptr) {
        DiraDoro::CLogger::UnregisterHandler(bridge_);
        bridge_->Detach(this);
    }
    // The holder owns its logger through owned_ and deletes it; it never
    // calls Release, which deletes a file logger at a count of 0.
    current_.store(nullptr, std::memory_order_release);
}

std::unique_ptr<ETWLogging::CLoggingIf> ProcessLoggerHolder::ExchangeLogger(
    std::unique_ptr<ETWLogging::CLoggingIf> logger) noexcept {
    std::unique_ptr<ETWLogging::CLoggingIf> previous = std::move(owned_);
    owned_ = std::move(logger);
    current_.store(owned_.get(), std::memory_order_release);
    return previous;
}

std::unique_ptr<ETWLogging::CLoggingIf> CreateProcessLogger() {
    std::unique_ptr<ETWLogging::CLoggingIf> logger;
    ETWLogging::CDefaultLogBuilder builder;
    builder.Build_ex(nullptr, kProcessLoggerGroup, own_module_handle(), kProcessLoggerHost, kProcessLoggerMechanism,
                     logger, nullptr);
    return logger;
}

}  // namespace rk::logging

ETWLogging::CLoggingIf* rk::logging::ProcessLoggerOrNull() noexcept {
    if (g_holder_destroyed.load(std::memory_order_acquire)) {
        return nullptr;
    }
    return GetProcessLogger().logger();
}

rk::logging::ProcessLoggerHolder& GetProcessLogger() noexcept {
    // A function-local static is the one-time initialization; an exception
    // from it leaves this noexcept function and ends the process.
    static rk::logging::ProcessHolderInstance instance;
    return instance.holder;
}
