#include "platform/logging/development_logging.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <tuple>

#include "platform/logging/logging_errors.h"
#include "platform/logging/process_facts.h"

namespace {

using ETWLogging::CDevelopmentLogging;

// A pipe that collects what the logger writes.
class Pipe {
public:
    Pipe() { EXPECT_EQ(::pipe(fds_), 0); }
    ~Pipe() {
        ::close(fds_[0]);
        if (fds_[1] >= 0) ::close(fds_[1]);
    }
    int write_end() const { return fds_[1]; }
    std::string drain() {
        ::close(fds_[1]);
        fds_[1] = -1;
        std::string out;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fds_[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(n));
        return out;
    }

private:
    int fds_[2] = {-1, -1};
};

TEST(DevelopmentLoggingTest, LineLayout) {
    // 2026-12-05 14:03:07.512 UTC
    const std::int64_t millis = 1796479387512;
    struct Case {
        LogLevel level;
        const wchar_t* file;
        const wchar_t* message;
        const char* expected;
    };
    const Case cases[] = {
        {6, L"C:\\src\\app\\updater.cpp", L"polling in 1440 minutes",
         "2026-12-05T14:03:07.512Z Information(6) [10:11] CUpdater::Run (updater.cpp:42): polling in 1440 minutes\n"},
        {1, L"/work/app/checker.cpp", L"failed\n",
         "2026-12-05T14:03:07.512Z Normal(1) [10:11] CUpdater::Run (checker.cpp:42): failed\n"},
        {9, L"plain.cpp", L"\u00fc",
         "2026-12-05T14:03:07.512Z Level(9) [10:11] CUpdater::Run (plain.cpp:42): \xC3\xBC\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CDevelopmentLogging::FormatLine(c.level, c.file, L"CUpdater::Run", 42, c.message, 10, 11, millis),
                  c.expected);
    }
}

TEST(DevelopmentLoggingTest, SeverityIsClampedAndLevelThreeAlwaysPasses) {
    struct Case {
        LogLevel set;
        LogLevel stored;
        const char* passing;  // levels 0..7 that pass, as a mask string
    };
    const Case cases[] = {
        {0, 1, "01111111"}, {1, 1, "01111111"}, {3, 3, "00011111"},
        {5, 5, "00010111"}, {6, 6, "00010011"}, {9, 6, "00010011"},
    };
    CDevelopmentLogging logger(-1);
    for (const auto& c : cases) {
        logger.SetSeverity(c.set);
        EXPECT_EQ(logger.GetSeverity(), c.stored) << c.set;
        for (LogLevel level = 0; level <= 7; ++level) {
            EXPECT_EQ(logger.IsLevelEnabled(level), c.passing[level] == '1') << "severity " << c.set << " level " << level;
        }
    }
}

TEST(DevelopmentLoggingTest, InitializeRules) {
    struct Case {
        const wchar_t* group;
        const wchar_t* host;
        rk::DWORD expected;
    };
    const Case cases[] = {
        {L"_no_group", L"_no_host", 0}, {nullptr, nullptr, 0}, {L"", L"h", 87}, {L"g", L"", 87},
    };
    for (const auto& c : cases) {
        CDevelopmentLogging logger(-1);
        EXPECT_EQ(logger.Initialize_ex(nullptr, c.group, nullptr, c.host, nullptr), c.expected);
    }
    CDevelopmentLogging logger(-1);
    ASSERT_EQ(logger.Initialize(L"grp", nullptr, nullptr, 0), 0u);
    EXPECT_EQ(logger.Initialize(L"grp", nullptr, nullptr, 0), ETWLogging::kErrorAlreadyInitialized);
    std::wstring key, group;
    logger.GetModuleKey(key);
    logger.GetGroup(group);
    EXPECT_EQ(group, L"grp");
    // Group, backslash and the test binary's name without extension.
    EXPECT_EQ(key, L"grp\\" + rk::logging::strip_extension(rk::logging::file_name_of(rk::logging::process_image_path())));
    EXPECT_EQ(logger.Uninitialize(), 0u);
    EXPECT_EQ(logger.Uninitialize(), ETWLogging::kErrorNotInitialized);

    // The environment's severity, clamped.
    ::setenv(ETWLogging::kLogSeverityVariable, "9", 1);
    CDevelopmentLogging from_env(-1);
    ASSERT_EQ(from_env.Initialize(nullptr, nullptr, nullptr, 0), 0u);
    ::unsetenv(ETWLogging::kLogSeverityVariable);
    EXPECT_EQ(from_env.GetSeverity(), 6u);
}

TEST(DevelopmentLoggingTest, WritesFilteredTruncatedLines) {
    Pipe pipe;
    CDevelopmentLogging logger(pipe.write_end());
    ASSERT_EQ(logger.Initialize(L"_no_group", nullptr, L"_no_host", 0), 0u);
    logger.SetSeverity(5);

    EXPECT_EQ(logger.LogV_ex(4, L"f.cpp", L"F::G", 1, L"filtered", {}), 0u);
    EXPECT_EQ(logger.LogV_ex(4, L"f.cpp", L"F::G", 1, nullptr, {}), rk::win::kErrorInvalidParameter);
    EXPECT_EQ(logger.Log(3, L"f.cpp", L"F::G", 2, L"%d%%", 50), 0u);
    EXPECT_EQ(logger.Write(L"f.cpp", L"F::G", 3, 5, L"%d kept as text"), 0u);
    const std::wstring long_text(3000, L'x');
    EXPECT_EQ(logger.Log_ex(6, L"f.cpp", L"F::G", 4, L"%ls", long_text), 0u);
    EXPECT_EQ(logger.LogCritical(L"f.cpp", L"F::G", 5, L"shortcut %d", 5), 0u);
    logger.SetEnabled(false);
    EXPECT_EQ(logger.Log_ex(6, L"f.cpp", L"F::G", 6, L"disabled"), 0u);

    const std::string out = pipe.drain();
    EXPECT_EQ(out.find("filtered"), std::string::npos);
    EXPECT_EQ(out.find("disabled"), std::string::npos);
    EXPECT_NE(out.find("Information(3) "), std::string::npos);
    EXPECT_NE(out.find("(f.cpp:2): 50%\n"), std::string::npos);
    EXPECT_NE(out.find("Critical(5) "), std::string::npos);
    EXPECT_NE(out.find("(f.cpp:3): %d kept as text\n"), std::string::npos);
    EXPECT_NE(out.find("(f.cpp:4): " + std::string(2080, 'x') + "\n"), std::string::npos);
    EXPECT_EQ(out.find(std::string(2081, 'x')), std::string::npos);
    EXPECT_NE(out.find("(f.cpp:5): shortcut 5\n"), std::string::npos);
}

TEST(DevelopmentLoggingTest, OutputChosenByEnvironment) {
    struct Case {
        const char* value;
        int fd;
    };
    const Case cases[] = {{nullptr, -1}, {"", -1}, {"0", -1}, {"1", 2}, {"yes", 2}};
    for (const auto& c : cases) {
        if (c.value == nullptr) {
            ::unsetenv(ETWLogging::kLogStderrVariable);
        } else {
            ::setenv(ETWLogging::kLogStderrVariable, c.value, 1);
        }
        EXPECT_EQ(CDevelopmentLogging::OutputFromEnvironment(), c.fd) << (c.value ? c.value : "(unset)");
    }
    ::unsetenv(ETWLogging::kLogStderrVariable);
}

TEST(DevelopmentLoggingTest, MapLevelAndFillRecord) {
    CDevelopmentLogging logger(-1);
    ASSERT_EQ(logger.Initialize(L"grp", nullptr, nullptr, 0), 0u);
    for (LogLevel level = 0; level <= 7; ++level) {
        EXPECT_EQ(logger.MapLevel(level), level == 6 ? 3u : level);
    }
    ETWLogging::LogRecord record;
    record.module_file_name = L"kept";
    logger.FillRecord(L"f.cpp", L"F::G", 7, record);
    EXPECT_EQ(std::tie(record.module_file_name, record.group, record.line, record.process_id),
              std::tuple(L"kept", L"grp", 7u, static_cast<std::uint32_t>(::getpid())));
    EXPECT_FALSE(record.image_name.empty());
}

}  // namespace
