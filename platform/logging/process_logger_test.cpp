#include "platform/logging/process_logger.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/logging/development_logging.h"
#include "platform/logging/dira_doro_logger.h"
#include "platform/logging/logging_errors.h"
#include "platform/logging/process_logger_holder.h"
#include "platform/logging/test/scoped_process_logger.h"

namespace {

using rk::logging::test::CapturingLogger;
using rk::logging::test::ScopedLogCapture;
using rk::logging::test::ScopedProcessLogger;

// A logger without the extended interface: LogMessage must format and Write.
class PlainLogger final : public ETWLogging::CLoggingIf {
public:
    using CLoggingIf::Log;

    struct Written {
        std::wstring file, function, message;
        int line;
        LogLevel level;
    };
    std::vector<Written> written;
    int starts = 0;

    rk::DWORD Initialize(const wchar_t*, ETWLogging::ModuleHandle, const wchar_t*, rk::DWORD) override { return 0; }
    rk::DWORD Start() override {
        ++starts;
        return 0;
    }
    rk::DWORD GetModuleKey(std::wstring&) const override { return 0; }
    rk::DWORD GetGroup(std::wstring&) const override { return 0; }
    rk::DWORD Uninitialize() override { return 0; }
    void SetEnabled(bool) override {}
    bool IsEnabled() const override { return true; }
    rk::DWORD Log(LogLevel, const wchar_t*, const wchar_t*, int, const wchar_t*, rk::text::FormatArgs) override {
        ADD_FAILURE() << "LogMessage must not call Log";
        return 0;
    }
    // Logged once more from inside Write, as a logger that logs while it writes.
    std::wstring nested_format;

    rk::DWORD Write(const wchar_t* file, const wchar_t* function, int line, LogLevel level,
                    const wchar_t* message) override {
        if (!nested_format.empty()) {
            const std::wstring format = std::exchange(nested_format, std::wstring());
            LogMessage(level, file, function, line, format.c_str());
        }
        written.push_back({file, function, message, line, level});
        return 42;  // passed through by LogMessage
    }
    bool IsLevelEnabled(LogLevel level) const override { return level == 4; }
    void SetMaxEntries(rk::DWORD) override {}
    rk::DWORD GetMaxEntries() const override { return 0; }
    void SetMaxSize(rk::DWORD) override {}
    rk::DWORD GetMaxSize() const override { return 0; }
    void SetSeverity(LogLevel) override {}
    LogLevel GetSeverity() const override { return 4; }
    void SetFlags(rk::DWORD) override {}
    rk::DWORD AddRef() override { return 1; }
    rk::DWORD Release() override { return 0; }
};

TEST(ProcessLoggerTest, WithoutLoggerEveryCallReportsNoLogger) {
    ScopedProcessLogger none(nullptr);
    EXPECT_FALSE(IsLogLevelEnabled(rk::log_level::kInformation));
    EXPECT_EQ(LogMessage(3, L"f.cpp", L"F::G", 1, L"x %d", 1), 1627u);
}

TEST(ProcessLoggerTest, StartFailureIsReturnedAndNothingIsLogged) {
    ScopedLogCapture capture;
    capture.logger().SetStartResult(rk::win::kErrorAccessDenied);
    EXPECT_EQ(LogMessage(5, L"f.cpp", L"F::G", 1, L"lost"), rk::win::kErrorAccessDenied);
    EXPECT_TRUE(capture.logger().Entries().empty());
}

TEST(ProcessLoggerTest, ExtendedLoggerReceivesFormatAndArguments) {
    ScopedLogCapture capture;
    EXPECT_EQ(LogMessage(6, L"src\\app\\updater.cpp", L"CUpdater::Run", 77, L"read %ls: %d (%hs)", L"lbconfig.ini",
                         -5, "narrow"),
              0u);
    const auto entries = capture.logger().Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(std::tie(entries[0].level, entries[0].file, entries[0].function, entries[0].line, entries[0].message),
              std::tuple(6u, L"src\\app\\updater.cpp", L"CUpdater::Run", 77, L"read lbconfig.ini: -5 (narrow)"));
    EXPECT_EQ(LogMessage(6, L"f", L"g", 1, static_cast<const wchar_t*>(nullptr)), rk::win::kErrorInvalidParameter);
}

TEST(ProcessLoggerTest, PlainLoggerGetsFormattedMessageThroughWrite) {
    auto owned = std::make_unique<PlainLogger>();
    PlainLogger* plain = owned.get();
    ScopedProcessLogger scope(std::move(owned));

    EXPECT_TRUE(IsLogLevelEnabled(4));
    EXPECT_FALSE(IsLogLevelEnabled(3));
    // The front end does not filter: the logger's Write decides, and its
    // result comes back.
    EXPECT_EQ(LogMessage(1, L"a.cpp", L"A::B", 9, L"%d-%ls", 12, L"x"), 42u);
    ASSERT_EQ(plain->written.size(), 1u);
    EXPECT_EQ(plain->starts, 1);
    const auto& w = plain->written[0];
    EXPECT_EQ(std::tie(w.message, w.level, w.file, w.function, w.line), std::tuple(L"12-x", 1u, L"a.cpp", L"A::B", 9));

    // The outer line survives a line logged while it is written.
    plain->written.clear();
    plain->nested_format = L"inner";
    LogMessage(1, L"a.cpp", L"A::B", 9, L"outer %d", 1);
    ASSERT_EQ(plain->written.size(), 2u);
    EXPECT_EQ(plain->written[0].message, L"inner");
    EXPECT_EQ(plain->written[1].message, L"outer 1");
}

TEST(ProcessLoggerTest, WritePathTruncatesOnlyMessagesLongerThan4160) {
    struct Case {
        std::size_t length;
        std::size_t expected;
    };
    const Case cases[] = {
        {0, 0}, {2080, 2080}, {2081, 2081}, {4160, 4160}, {4161, 2080}, {10000, 2080},
    };
    for (const auto& c : cases) {
        auto owned = std::make_unique<PlainLogger>();
        PlainLogger* plain = owned.get();
        ScopedProcessLogger scope(std::move(owned));
        const std::wstring text(c.length, L'm');
        LogMessage(4, L"f", L"g", 1, L"%ls", text);
        ASSERT_EQ(plain->written.size(), 1u) << c.length;
        EXPECT_EQ(plain->written[0].message.size(), c.expected) << c.length;
    }
}

TEST(ProcessLoggerTest, ReadyArgumentListFormEqualsVariadicForm) {
    ScopedLogCapture capture;
    const auto list = rk::text::make_format_args(L"a", 5u);
    LogMessage(6, L"f", L"g", 1, L"%s=%u", rk::text::FormatArgs(list.data(), list.size()));
    LogMessage(6, L"f", L"g", 1, L"%s=%u", L"a", 5u);
    const auto messages = capture.logger().Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], L"a=5");
    EXPECT_EQ(messages[1], messages[0]);
}

TEST(ProcessLoggerTest, HolderRoutesDiraDoroMessagesIntoTheInstalledLogger) {
    ASSERT_TRUE(GetProcessLogger().RoutesDiraDoro());
    ScopedLogCapture capture;
    DiraDoro::CLogger::Log(DiraDoro::kLevelError, L"regkey.cpp", L"DiraDoro::CRegKey::Open", 12, L"open %d", 2);
    const auto entries = capture.logger().Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(std::tie(entries[0].level, entries[0].message, entries[0].function),
              std::tuple(rk::log_level::kError, L"open 2", L"DiraDoro::CRegKey::Open"));
}

// Many threads log at once as the very first use of the process logger;
// exits 0 when they all saw one holder and one logger and every line went out.
[[noreturn]] void race_first_use() {
    ::setenv(ETWLogging::kLogStderrVariable, "1", 1);
    constexpr int kThreads = 16;
    std::atomic<int> waiting{kThreads};
    std::vector<const void*> holders(kThreads), loggers(kThreads);
    std::vector<rk::DWORD> results(kThreads, 99);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            waiting.fetch_sub(1);
            while (waiting.load() > 0) {
            }
            results[i] = LogMessage(6, L"race.cpp", L"Race::Run", i, L"thread %d", i);
            holders[i] = &GetProcessLogger();
            loggers[i] = GetProcessLogger().logger();
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    const std::set<const void*> distinct_holders(holders.begin(), holders.end());
    const std::set<const void*> distinct_loggers(loggers.begin(), loggers.end());
    bool ok = distinct_holders.size() == 1 && distinct_loggers.size() == 1 && loggers[0] != nullptr &&
              GetProcessLogger().RoutesDiraDoro() && DiraDoro::CLogger::RegisteredHandler() != nullptr;
    for (const rk::DWORD r : results) {
        ok = ok && r == 0;
    }
    std::exit(ok ? 0 : 1);
}

// Run in a fresh process (threadsafe style re-executes the test binary) so
// the race for the one-time creation is real.
TEST(ProcessLoggerDeathTest, ConcurrentFirstUseCreatesOneLogger) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(race_first_use(), ::testing::ExitedWithCode(0), "Race::Run \\(race.cpp:15\\): thread 15");
}

// Static objects destroyed after the process logger may still log at exit.
struct LogsAtExit {
    ~LogsAtExit() {
        const rk::DWORD result = LogMessage(6, L"exit.cpp", L"Exit::Run", 1, L"late");
        DiraDoro::CLogger::Log(DiraDoro::kLevelError, L"exit.cpp", L"Exit::Run", 2, L"late dira");
        std::fprintf(stderr, "late result %u enabled %d\n", result, IsLogLevelEnabled(3) ? 1 : 0);
    }
};

[[noreturn]] void log_after_holder_destruction() {
    static LogsAtExit late;  // constructed first, so destroyed after the holder
    LogMessage(6, L"exit.cpp", L"Exit::Run", 0, L"early");
    std::exit(0);
}

TEST(ProcessLoggerDeathTest, LoggingAfterHolderDestructionReportsNoLogger) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(log_after_holder_destruction(), ::testing::ExitedWithCode(0), "late result 1627 enabled 0");
}

}  // namespace
