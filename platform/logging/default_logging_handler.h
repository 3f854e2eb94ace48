// DiraDoro::CDefaultLoggingHandler: the handler DiraDoro::CLogger uses while
// no other is registered. Its lines go to the debugger output, which on
// Linux is standard error, written only while RK_DEBUG_OUTPUT is set.
#pragma once

#include <string>

#include "platform/logging/logging_handler.h"

namespace DiraDoro {

// Set (non-empty, not "0"): debugger output goes to standard error. Read on
// every line so tests and operators can switch it at run time.
inline constexpr const char* kDebugOutputVariable = "RK_DEBUG_OUTPUT";

inline constexpr const wchar_t* kDefaultLineInformation = L"%s(%d): [INFO]: [%s]: %s\n";
inline constexpr const wchar_t* kDefaultLineError = L"%s(%d): [ERROR]: [%s]: %s\n";
inline constexpr const wchar_t* kDefaultLineUnknown = L"%s(%d): [UNKNOWN]: [%s]: %s\n";

class CDefaultLoggingHandler final : public ILoggingHandler {
public:
    // Level 0 writes nothing.
    void Log(rk::DWORD level, const wchar_t* file, const wchar_t* function, int line,
             const wchar_t* message) override;

    // The line for one message; empty for level 0.
    static std::wstring FormatLine(rk::DWORD level, const wchar_t* file, const wchar_t* function, int line,
                                   const wchar_t* message);
};

// Sends text to the debugger output (standard error while RK_DEBUG_OUTPUT is set).
void OutputDebugText(const std::wstring& text);

}  // namespace DiraDoro
