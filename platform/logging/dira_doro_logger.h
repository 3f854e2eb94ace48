// DiraDoro::CLogger: the library logger of the shared product code. One
// process-wide handler slot; messages are formatted here and handed to the
// registered handler (the built-in CDefaultLoggingHandler while none is).
//
// Handlers are not owned and must stay alive while registered; a handler
// being unregistered may still receive a line that another thread started.
#pragma once

#include "platform/errors/win_error.h"
#include "platform/logging/logging_handler.h"
#include "platform/text/format.h"

namespace DiraDoro {

// Texts of the logger's own diagnostics (level 2, file "internal_logging");
// each "%s" first is the system message text of the error returned.
inline constexpr const wchar_t* kInternalLoggingFile = L"internal_logging";
inline constexpr const wchar_t* kRegisterHandlerFunction = L"DiraDoro::CLogger::RegisterHandler";
inline constexpr const wchar_t* kUnregisterHandlerFunction = L"DiraDoro::CLogger::UnregisterHandler";
inline constexpr const wchar_t* kCannotRegisterNull = L"%s: Cannot Register (NULL) handler";
inline constexpr const wchar_t* kCannotReplaceHandler =
    L"%s: Registered Logging Handler 0x%08X cannot be replaced with 0x%08X";
inline constexpr const wchar_t* kCannotUnregisterNull = L"%s: Cannot Unregister (NULL) handler";
inline constexpr const wchar_t* kUnregisterNoneRegistered =
    L"%s: Request to Unregister Logging handler 0x%08X, but none are registered";
inline constexpr const wchar_t* kUnregisterMismatch =
    L"%s: Failed to Unregister Logging handler (requested handler 0x%08X != registered handler 0x%08X)";
inline constexpr const wchar_t* kAllocationFailure = L"General memory-allocation failure in DiraDoro logger.";

class CLogger {
public:
    CLogger() = delete;

    // Registers the default handler first when the slot is empty.
    static void Log(rk::DWORD level, const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                    rk::text::FormatArgs args);

    template <typename... A>
    static void Log(rk::DWORD level, const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                    const A&... args) {
        const auto list = rk::text::make_format_args(args...);
        Log(level, file, function, line, format, rk::text::FormatArgs(list.data(), list.size()));
    }

    // 0 when registered (slot empty, the same handler, or the default handler
    // in the slot); 87 for null; 5023 when another handler holds the slot.
    static rk::DWORD RegisterHandler(ILoggingHandler* handler);

    // 0 when `handler` was the registered one; 87 for null; 5023 when none or
    // another handler is registered.
    static rk::DWORD UnregisterHandler(ILoggingHandler* handler);

    // The handler in the slot, or null.
    static ILoggingHandler* RegisteredHandler();

    // The built-in handler used while no other is registered.
    static ILoggingHandler* DefaultHandler();
};

}  // namespace DiraDoro
