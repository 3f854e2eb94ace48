// Test helper program.
//   logging_test_child file <group> <count> <tag>
//       writes <count> lines "<tag> <n>" through its own file logger; exit 0
//       when every write succeeded.
//   logging_test_child hold <mutex name>
//       takes the named mutex, prints "held <pid>" and sleeps until killed.
//   logging_test_child levels <marker>
//       logs "<marker> level <n>" at levels 1 to 6 through the process
//       logger; exit 0 when every call returned 0.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/logging/file_logging.h"
#include "platform/logging/process_logger.h"
#include "platform/system/named_mutex.h"
#include "platform/text/utf.h"

namespace {

constexpr const wchar_t* kFile = L"platform\\logging\\test\\logging_test_child.cpp";

int write_file_lines(const std::wstring& group, long count, const std::wstring& tag) {
    ETWLogging::CLogging logger;
    if (const rk::DWORD err = logger.Initialize(group.c_str(), nullptr, nullptr, 0); err != 0) {
        std::fprintf(stderr, "Initialize: %u\n", err);
        return 2;
    }
    long failures = 0;
    for (long i = 0; i < count; ++i) {
        const std::wstring message = tag + L" " + std::to_wstring(i);
        if (logger.Write(kFile, L"main", __LINE__, rk::log_level::kCritical, message.c_str()) != 0) {
            ++failures;
        }
    }
    if (failures != 0) {
        std::fprintf(stderr, "%ld writes failed\n", failures);
        return 1;
    }
    return 0;
}

int log_levels(const std::wstring& marker) {
    int failures = 0;
    for (LogLevel level = rk::log_level::kMinLevel; level <= rk::log_level::kMaxLevel; ++level) {
        if (LogMessage(level, kFile, L"ChildMain::LogLevels", 100 + static_cast<int>(level), L"%ls level %u",
                       marker, level) != 0) {
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "file" && argc == 5) {
        return write_file_lines(rk::text::utf8_to_wide(argv[2]), std::strtol(argv[3], nullptr, 10),
                                rk::text::utf8_to_wide(argv[4]));
    }
    if (mode == "hold" && argc == 3) {
        auto created = rk::sys::NamedMutex::create(rk::text::utf8_to_wide(argv[2]));
        if (created.mutex == nullptr || created.mutex->wait(rk::win::kInfinite) != rk::win::kWaitObject0) {
            return 2;
        }
        std::printf("held %d\n", static_cast<int>(::getpid()));
        std::fflush(stdout);
        for (;;) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    }
    if (mode == "levels" && argc == 3) {
        return log_levels(rk::text::utf8_to_wide(argv[2]));
    }
    std::fprintf(stderr, "usage: logging_test_child file GROUP COUNT TAG | levels MARKER\n");
    return 64;
}
