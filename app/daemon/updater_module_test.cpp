// The process entry: single instance, refusal lines, pending deletes, and the
// exit-0 handlers.
#include "app/daemon/updater_module.h"

#include <gtest/gtest.h>

#include <fstream>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "app/daemon/test/fake_processor.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/named_mutex.h"
#include "platform/system/process_info.h"
#include "platform/system/test/temp_root.h"

namespace rk::app {
namespace {

using logging::test::LogEntry;
using logging::test::ScopedLogCapture;

struct Recorded {
    int loop_parts_made = 0;
    int pending_deletes_run = 0;
};

// Parts whose loop ends at once with `thrown` (from building the loop).
template <typename Thrower>
UpdaterModuleParts throwing_parts(Recorded& recorded, Thrower thrower) {
    UpdaterModuleParts parts;
    parts.run_pending_deletes = [&recorded] { ++recorded.pending_deletes_run; };
    parts.make_loop_parts = [&recorded, thrower]() -> UpdaterLoopParts {
        ++recorded.loop_parts_made;
        thrower();
        return {};
    };
    return parts;
}

std::vector<std::pair<LogLevel, std::wstring>> lines(const ScopedLogCapture& capture) {
    std::vector<std::pair<LogLevel, std::wstring>> out;
    for (const LogEntry& e : const_cast<ScopedLogCapture&>(capture).logger().Entries()) {
        out.emplace_back(e.level, e.message);
    }
    return out;
}

struct SystemErrorWithoutText : std::system_error {
    SystemErrorWithoutText() : std::system_error(std::error_code(5, std::generic_category())) {}
    const char* what() const noexcept override { return ""; }
};

TEST(RunUpdaterModule, ExceptionsEndTheProcessWithZeroAndOneLine) {
    sys::test::TempRoot root;
    const std::wstring pid = std::to_wstring(sys::current_process_id());
    struct Case {
        std::string name;
        std::function<void()> thrower;
        std::wstring line;
    };
    const Case cases[] = {
        {"bad_alloc", [] { throw std::bad_alloc(); }, L"Bad Alloc exception occured: std::bad_alloc"},
        {"system_error", [] { throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again), "thread"); },
         L"System Error exception occured: thread: Resource temporarily unavailable"},
        {"system_error without text", [] { throw SystemErrorWithoutText(); },
         L"System Error exception occured: Unknown exception"},
        {"another exception", [] { throw std::runtime_error("x"); },
         L"Default catch: Exiting the Corvane Updater Module. Process ID: " + pid},
        {"not an exception class", [] { throw 42; },
         L"Default catch: Exiting the Corvane Updater Module. Process ID: " + pid},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedLogCapture capture;
        Recorded recorded;
        EXPECT_EQ(RunUpdaterModule(throwing_parts(recorded, c.thrower)), 0);
        EXPECT_EQ(recorded.pending_deletes_run, 1);
        const auto logged = lines(capture);
        ASSERT_FALSE(logged.empty());
        EXPECT_EQ(logged.back(), std::make_pair(log_level::kNormal, c.line));
        EXPECT_EQ(logged.front(), std::make_pair(log_level::kProgress, std::wstring(L"RkUpdaterModule s_CheckIfOkToRun - true")));
    }
}

// A second instance, or a mutex that cannot be created (a file where the
// session's runtime folder would be), logs two lines and does nothing.
TEST(RunUpdaterModule, RefusalsLogTwoLinesAndDoNothing) {
    for (const bool second : {true, false}) {
        SCOPED_TRACE(second ? "second instance" : "no mutex");
        sys::test::TempRoot root;
        sys::test::ScopedEnv no_runtime_dir("XDG_RUNTIME_DIR", std::nullopt);
        sys::NamedMutex::Created first;
        if (second) {
            first = sys::NamedMutex::create(L"RkUpdaterModuleMutex");
            ASSERT_TRUE(first.mutex);
        } else {
            std::ofstream(root.path() / "run") << "in the way";
        }
        ScopedLogCapture capture;
        Recorded recorded;
        EXPECT_EQ(RunUpdaterModule(throwing_parts(recorded, [] {})), 0);
        EXPECT_EQ(recorded.loop_parts_made, 0);
        EXPECT_EQ(recorded.pending_deletes_run, 0);
        const auto entries = capture.logger().Entries();
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0].message.rfind(second ? L"Application is already running - exiting error is: 183"
                                                  : L"Cannot create mutex. LastError - ",
                                           0),
                  0u);
        EXPECT_NE(entries[0].message, L"Cannot create mutex. LastError - 0");
        EXPECT_EQ(entries[1].message, L"Application already running");
        EXPECT_EQ(entries[0].function, L"s_CheckIfOkToRun");
        EXPECT_EQ(entries[1].function, L"wWinMain");
        EXPECT_EQ(entries[0].level, log_level::kNormal);
    }
}

TEST(RunUpdaterModule, FailedSecureStartIsLoggedAndStartGoesOn) {
    sys::test::TempRoot root;
    for (const bool ok : {true, false}) {
        ScopedLogCapture capture;
        Recorded recorded;
        auto parts = throwing_parts(recorded, [] { throw 1; });
        parts.secure_start_ok = ok;
        EXPECT_EQ(RunUpdaterModule(parts), 0);
        EXPECT_EQ(recorded.loop_parts_made, 1);
        EXPECT_EQ(capture.logger().Contains(L"RkUpdateModule _tWinMain - Failed to Initialize Secure DLL loading."),
                  !ok);
    }
}

}  // namespace
}  // namespace rk::app
