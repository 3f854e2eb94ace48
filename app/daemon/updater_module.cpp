#include "app/daemon/updater_module.h"

#include <new>
#include <system_error>

#include "platform/logging/process_logger.h"
#include "platform/system/named_mutex.h"
#include "platform/system/process_info.h"

namespace rk::app {
namespace {

constexpr wchar_t kFile[] = L"updater_module.cpp";

template <typename... A>
void log_line(LogLevel level, const wchar_t* function, int line, const wchar_t* format, const A&... args) {
    if (IsLogLevelEnabled(level)) {
        LogMessage(level, kFile, function, line, format, args...);
    }
}

// s_CheckIfOkToRun: the mutex, held open for the process's life, or null.
std::unique_ptr<sys::NamedMutex> check_if_ok_to_run() {
    constexpr wchar_t kFunction[] = L"s_CheckIfOkToRun";
    auto created = sys::NamedMutex::create(kSingleInstanceMutexName);
    if (!created.mutex) {
        log_line(log_level::kNormal, kFunction, __LINE__, L"Cannot create mutex. LastError - %u", created.error);
        return nullptr;
    }
    if (created.error == win::kErrorAlreadyExists) {
        log_line(log_level::kNormal, kFunction, __LINE__, L"Application is already running - exiting error is: %u",
                 created.error);
        return nullptr;
    }
    log_line(log_level::kProgress, kFunction, __LINE__, L"RkUpdaterModule s_CheckIfOkToRun - true");
    return std::move(created.mutex);
}

// what() of an exception, "Unknown exception" when it has none.
const char* message_of(const std::exception& e) {
    const char* what = e.what();
    return what != nullptr && *what != '\0' ? what : "Unknown exception";
}

}  // namespace

int RunUpdaterModule(const UpdaterModuleParts& parts) {
    constexpr wchar_t kFunction[] = L"wWinMain";
    try {
        if (!parts.secure_start_ok) {
            log_line(log_level::kNormal, kFunction, __LINE__,
                     L"RkUpdateModule _tWinMain - Failed to Initialize Secure DLL loading.");
        }
        // Left open (and to the system to close) for the process's life.
        const auto instance = check_if_ok_to_run();
        if (!instance) {
            log_line(log_level::kNormal, kFunction, __LINE__, L"Application already running");
            return 0;
        }
        if (parts.run_pending_deletes) {
            parts.run_pending_deletes();
        }
        UpdaterLoop loop(parts.make_loop_parts());
        loop.Run();
    } catch (const std::bad_alloc& e) {
        log_line(log_level::kNormal, kFunction, __LINE__, L"Bad Alloc exception occured: %hs", message_of(e));
    } catch (const std::system_error& e) {
        log_line(log_level::kNormal, kFunction, __LINE__, L"System Error exception occured: %hs", message_of(e));
    } catch (...) {
        log_line(log_level::kNormal, kFunction, __LINE__,
                 L"Default catch: Exiting the Corvane Updater Module. Process ID: %u", sys::current_process_id());
    }
    return 0;
}

}  // namespace rk::app
