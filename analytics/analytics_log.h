// The analytics engine's lines through the process logger: failures at
// level 5, progress at level 6; the controller's own lines at 3 and 4.
#pragma once

#include "platform/logging/process_logger.h"

namespace Halden::Analytics::log {

inline constexpr LogLevel kFailure = rk::log_level::kCritical;
inline constexpr LogLevel kProgress = rk::log_level::kProgress;
inline constexpr LogLevel kControllerProgress = rk::log_level::kInformation;
inline constexpr LogLevel kControllerFailure = rk::log_level::kError;

template <typename... A>
void Write(LogLevel level, const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
           const A&... args) {
    if (IsLogLevelEnabled(level)) {
        LogMessage(level, file, function, line, format, args...);
    }
}

}  // namespace Halden::Analytics::log
