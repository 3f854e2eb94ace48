#include "platform/logging/dira_doro_logger.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <string>

#include "platform/logging/default_logging_handler.h"
#include "platform/logging/win32_message.h"

namespace DiraDoro {
namespace {

// Trivially destructible so the slot stays usable while other static
// objects are destroyed at exit.
constinit std::atomic<ILoggingHandler*> g_handler{nullptr};
// Made on first use and never destroyed, for the same reason: std::mutex
// has no constant initializer with every threads library (winpthreads).
std::mutex& slot_mutex() {
    static std::mutex* const mutex = new std::mutex;
    return *mutex;
}

std::uintptr_t handler_number(const ILoggingHandler* handler) { return reinterpret_cast<std::uintptr_t>(handler); }

// Formats one diagnostic of the logger itself and sends it to `handler`.
template <typename... A>
void log_to(ILoggingHandler* handler, const wchar_t* function, int line, const wchar_t* format, const A&... args) {
    try {
        const std::wstring message = rk::text::format(format, args...);
        handler->Log(kLevelError, kInternalLoggingFile, function, line, message.c_str());
    } catch (const std::bad_alloc&) {
        handler->Log(kLevelError, kInternalLoggingFile, function, line, kAllocationFailure);
    }
}

}  // namespace

ILoggingHandler* CLogger::DefaultHandler() {
    static auto* const handler = new CDefaultLoggingHandler();  // never destroyed: usable at exit
    return handler;
}

ILoggingHandler* CLogger::RegisteredHandler() { return g_handler.load(std::memory_order_acquire); }

void CLogger::Log(rk::DWORD level, const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                  rk::text::FormatArgs args) {
    ILoggingHandler* handler = g_handler.load(std::memory_order_acquire);
    if (handler == nullptr) {
        ILoggingHandler* expected = nullptr;
        ILoggingHandler* fallback = DefaultHandler();
        std::lock_guard lock(slot_mutex());
        handler = g_handler.compare_exchange_strong(expected, fallback) ? fallback : expected;
    }
    std::wstring message;
    try {
        message = rk::text::vformat(format != nullptr ? format : L"", args);
    } catch (const std::bad_alloc&) {
        handler->Log(kLevelError, file, function, line, kAllocationFailure);
        return;
    }
    handler->Log(level, file, function, line, message.c_str());
}

rk::DWORD CLogger::RegisterHandler(ILoggingHandler* handler) {
    if (handler == nullptr) {
        const rk::DWORD error = rk::win::kErrorInvalidParameter;
        Log(kLevelError, kInternalLoggingFile, kRegisterHandlerFunction, __LINE__, kCannotRegisterNull,
            rk::logging::win32_message_text(error));
        return error;
    }
    ILoggingHandler* registered = nullptr;
    {
        std::lock_guard lock(slot_mutex());
        registered = g_handler.load(std::memory_order_acquire);
        if (registered == nullptr || registered == handler || registered == DefaultHandler()) {
            g_handler.store(handler, std::memory_order_release);
            return rk::win::kErrorSuccess;
        }
    }
    const rk::DWORD error = rk::win::kErrorInvalidState;
    Log(kLevelError, kInternalLoggingFile, kRegisterHandlerFunction, __LINE__, kCannotReplaceHandler,
        rk::logging::win32_message_text(error), handler_number(registered), handler_number(handler));
    return error;
}

rk::DWORD CLogger::UnregisterHandler(ILoggingHandler* handler) {
    if (handler == nullptr) {
        const rk::DWORD error = rk::win::kErrorInvalidParameter;
        Log(kLevelError, kInternalLoggingFile, kUnregisterHandlerFunction, __LINE__, kCannotUnregisterNull,
            rk::logging::win32_message_text(error));
        return error;
    }
    ILoggingHandler* registered = nullptr;
    {
        std::lock_guard lock(slot_mutex());
        registered = g_handler.load(std::memory_order_acquire);
        if (registered == handler) {
            g_handler.store(nullptr, std::memory_order_release);
            return rk::win::kErrorSuccess;
        }
    }
    const rk::DWORD error = rk::win::kErrorInvalidState;
    if (registered == nullptr) {
        Log(kLevelError, kInternalLoggingFile, kUnregisterHandlerFunction, __LINE__, kUnregisterNoneRegistered,
            rk::logging::win32_message_text(error), handler_number(handler));
        return error;
    }
    const std::wstring text = rk::logging::win32_message_text(error);
    log_to(registered, kUnregisterHandlerFunction, __LINE__, kUnregisterMismatch, text, handler_number(handler),
           handler_number(registered));
    log_to(handler, kUnregisterHandlerFunction, __LINE__, kUnregisterMismatch, text, handler_number(handler),
           handler_number(registered));
    return error;
}

}  // namespace DiraDoro
