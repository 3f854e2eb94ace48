// DiraDoro::ILoggingHandler: where DiraDoro::CLogger sends its messages.
#pragma once

#include "platform/errors/win_error.h"

namespace DiraDoro {

// DiraDoro levels; any other number is "unknown".
inline constexpr rk::DWORD kLevelNone = 0;
inline constexpr rk::DWORD kLevelInformation = 1;
inline constexpr rk::DWORD kLevelError = 2;

class ILoggingHandler {
public:
    ILoggingHandler() = default;
    ILoggingHandler(const ILoggingHandler&) = delete;
    ILoggingHandler& operator=(const ILoggingHandler&) = delete;
    virtual ~ILoggingHandler() = default;

    // Called on any thread that logs; must not throw.
    virtual void Log(rk::DWORD level, const wchar_t* file, const wchar_t* function, int line,
                     const wchar_t* message) = 0;
};

}  // namespace DiraDoro
