#include "platform/logging/dira_doro_log_handler.h"

#include "platform/logging/logging_if_ex.h"
#include "platform/logging/process_logger_holder.h"

namespace ETWLogging {

LogLevel CDiraDoroLogHandler::MapLevel(rk::DWORD diraDoroLevel) {
    switch (diraDoroLevel) {
        case DiraDoro::kLevelNone:
        case DiraDoro::kLevelInformation: return rk::log_level::kNormal;
        case DiraDoro::kLevelError: return rk::log_level::kError;
        default: return rk::log_level::kWarning;
    }
}

bool CDiraDoroLogHandler::Attach(const rk::logging::ProcessLoggerHolder* holder) {
    const rk::logging::ProcessLoggerHolder* expected = nullptr;
    return holder_.compare_exchange_strong(expected, holder) || expected == holder;
}

void CDiraDoroLogHandler::Detach(const rk::logging::ProcessLoggerHolder* holder) {
    const rk::logging::ProcessLoggerHolder* expected = holder;
    holder_.compare_exchange_strong(expected, nullptr);
}

void CDiraDoroLogHandler::Log(rk::DWORD level, const wchar_t* file, const wchar_t* function, int line,
                              const wchar_t* message) {
    const rk::logging::ProcessLoggerHolder* holder = holder_.load(std::memory_order_acquire);
    CLoggingIf* logger = holder != nullptr ? holder->logger() : nullptr;
    if (logger == nullptr) {
        return;
    }
    const LogLevel mapped = MapLevel(level);
    try {
        if (auto* extended = dynamic_cast<CLoggingIf_ex*>(logger)) {
            extended->Write_ex(mapped, file, function, line, message);
        } else {
            logger->Write(file, function, line, mapped, message);
        }
    } catch (...) {
        // A handler must not throw into DiraDoro code.
    }
}

}  // namespace ETWLogging
