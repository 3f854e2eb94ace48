// ETWLogging::CDiraDoroLogHandler: routes DiraDoro::CLogger messages into the
// process logger. The process logger holder registers it when it is created
// and unregisters it when it is destroyed.
#pragma once

#include <atomic>

#include "platform/logging/log_level.h"
#include "platform/logging/logging_handler.h"

namespace rk::logging {
class ProcessLoggerHolder;
}

namespace ETWLogging {

class CDiraDoroLogHandler final : public DiraDoro::ILoggingHandler {
public:
    // DiraDoro level 0 or 1 -> 1, 2 -> 4, anything else -> 2.
    static LogLevel MapLevel(rk::DWORD diraDoroLevel);

    // Binds to a holder; false (and no change) when already bound to another.
    bool Attach(const rk::logging::ProcessLoggerHolder* holder);
    void Detach(const rk::logging::ProcessLoggerHolder* holder);

    // Passes the message as it is to the holder's logger (Write_ex when it
    // offers it, else Write); the logger's own filter applies. Nothing is
    // written without a holder or logger.
    void Log(rk::DWORD level, const wchar_t* file, const wchar_t* function, int line,
             const wchar_t* message) override;

private:
    std::atomic<const rk::logging::ProcessLoggerHolder*> holder_{nullptr};
};

}  // namespace ETWLogging
