#include "platform/logging/dira_doro_logger.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "platform/logging/default_logging_handler.h"
#include "platform/logging/dira_doro_log_handler.h"
#include "platform/logging/process_logger_holder.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/text/utf.h"

namespace {

using DiraDoro::CLogger;
using DiraDoro::ILoggingHandler;

constexpr const char* kInvalidParameterText = "The parameter is incorrect.";
constexpr const char* kInvalidStateText =
    "The group or resource is not in the correct state to perform the requested operation.";

struct Line {
    rk::DWORD level;
    std::wstring file, function, message;
};

class RecordingHandler final : public ILoggingHandler {
public:
    std::vector<Line> lines;
    void Log(rk::DWORD level, const wchar_t* file, const wchar_t* function, int /*line*/,
             const wchar_t* message) override {
        lines.push_back({level, file, function, message});
    }
};

// Handler numbers as "0x%08X" prints them: the low 32 bits.
std::string hex32(const void* p) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(p)));
    return buffer;
}

std::wstring wide(const std::string& s) { return rk::text::utf8_to_wide(s); }

// Empties the process-wide slot for each test and puts the previous handler
// (normally the process logger's bridge) back afterwards.
class DiraDoroLoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = CLogger::RegisteredHandler();
        if (saved_ != nullptr) {
            ASSERT_EQ(CLogger::UnregisterHandler(saved_), 0u);
        }
        ::unsetenv(DiraDoro::kDebugOutputVariable);
    }
    void TearDown() override {
        if (ILoggingHandler* current = CLogger::RegisteredHandler()) {
            CLogger::UnregisterHandler(current);
        }
        if (saved_ != nullptr) {
            CLogger::RegisterHandler(saved_);
        }
        ::unsetenv(DiraDoro::kDebugOutputVariable);
    }
    ILoggingHandler* saved_ = nullptr;
};

TEST_F(DiraDoroLoggerTest, RegisterTable) {
    RecordingHandler first, second;

    // Null: 87, reported through the slot's handler.
    ASSERT_EQ(CLogger::RegisterHandler(&first), 0u);
    EXPECT_EQ(CLogger::RegisterHandler(nullptr), rk::win::kErrorInvalidParameter);
    ASSERT_EQ(first.lines.size(), 1u);
    const Line& refused = first.lines[0];
    EXPECT_EQ(std::tie(refused.level, refused.file, refused.function, refused.message),
              std::tuple(DiraDoro::kLevelError, L"internal_logging", L"DiraDoro::CLogger::RegisterHandler",
                         wide(std::string(kInvalidParameterText) + ": Cannot Register (NULL) handler")));

    // The same handler again: accepted silently.
    EXPECT_EQ(CLogger::RegisterHandler(&first), 0u);
    EXPECT_EQ(first.lines.size(), 1u);

    // Another handler: 5023, the first one stays and reports it.
    EXPECT_EQ(CLogger::RegisterHandler(&second), rk::win::kErrorInvalidState);
    EXPECT_EQ(CLogger::RegisteredHandler(), &first);
    ASSERT_EQ(first.lines.size(), 2u);
    EXPECT_EQ(first.lines[1].message, wide(std::string(kInvalidStateText) + ": Registered Logging Handler 0x" +
                                           hex32(&first) + " cannot be replaced with 0x" + hex32(&second)));
    EXPECT_TRUE(second.lines.empty());
}

TEST_F(DiraDoroLoggerTest, DefaultHandlerIsReplacedSilently) {
    ::setenv(DiraDoro::kDebugOutputVariable, "1", 1);
    ::testing::internal::CaptureStderr();
    CLogger::Log(DiraDoro::kLevelInformation, L"a.cpp", L"A::B", 1, L"first");  // installs the default
    EXPECT_EQ(CLogger::RegisteredHandler(), CLogger::DefaultHandler());
    RecordingHandler handler;
    EXPECT_EQ(CLogger::RegisterHandler(&handler), 0u);
    CLogger::Log(DiraDoro::kLevelInformation, L"a.cpp", L"A::B", 2, L"second");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "a.cpp(1): [INFO]: [A::B]: first\n");
    ASSERT_EQ(handler.lines.size(), 1u);
    EXPECT_EQ(handler.lines[0].message, L"second");
}

// "file(line): [ERROR]: [function]: message\n" with any line number.
void expect_default_error_line(const std::string& out, const std::string& function, const std::string& message) {
    const std::string prefix = "internal_logging(";
    const std::string suffix = "): [ERROR]: [" + function + "]: " + message + "\n";
    ASSERT_GE(out.size(), prefix.size() + suffix.size()) << out;
    EXPECT_EQ(out.substr(0, prefix.size()), prefix) << out;
    EXPECT_EQ(out.substr(out.size() - suffix.size()), suffix) << out;
    const std::string number = out.substr(prefix.size(), out.size() - prefix.size() - suffix.size());
    EXPECT_FALSE(number.empty());
    EXPECT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << out;
}

TEST_F(DiraDoroLoggerTest, UnregisterNullOrWithNoneRegistered) {
    RecordingHandler handler;
    ::setenv(DiraDoro::kDebugOutputVariable, "1", 1);

    // Nothing registered: the line goes through the default handler, which
    // logging installs on the way.
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(CLogger::UnregisterHandler(&handler), rk::win::kErrorInvalidState);
    expect_default_error_line(::testing::internal::GetCapturedStderr(), "DiraDoro::CLogger::UnregisterHandler",
                              std::string(kInvalidStateText) + ": Request to Unregister Logging handler 0x" +
                                  hex32(&handler) + ", but none are registered");
    EXPECT_EQ(CLogger::RegisteredHandler(), CLogger::DefaultHandler());

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(CLogger::UnregisterHandler(nullptr), rk::win::kErrorInvalidParameter);
    expect_default_error_line(::testing::internal::GetCapturedStderr(), "DiraDoro::CLogger::UnregisterHandler",
                              std::string(kInvalidParameterText) + ": Cannot Unregister (NULL) handler");
}

TEST_F(DiraDoroLoggerTest, UnregisterRegisteredOrAnother) {
    RecordingHandler registered, other;
    ASSERT_EQ(CLogger::RegisterHandler(&registered), 0u);

    // Another handler: 5023, told to both, the registered one stays.
    EXPECT_EQ(CLogger::UnregisterHandler(&other), rk::win::kErrorInvalidState);
    EXPECT_EQ(CLogger::RegisteredHandler(), &registered);
    const std::wstring expected =
        wide(std::string(kInvalidStateText) + ": Failed to Unregister Logging handler (requested handler 0x" +
             hex32(&other) + " != registered handler 0x" + hex32(&registered) + ")");
    for (const RecordingHandler* h : {&registered, &other}) {
        ASSERT_EQ(h->lines.size(), 1u);
        const Line& l = h->lines[0];
        EXPECT_EQ(std::tie(l.level, l.file, l.function, l.message),
                  std::tuple(DiraDoro::kLevelError, L"internal_logging", L"DiraDoro::CLogger::UnregisterHandler",
                             expected));
    }

    // The registered one: cleared, 0, nothing logged.
    EXPECT_EQ(CLogger::UnregisterHandler(&registered), 0u);
    EXPECT_EQ(CLogger::RegisteredHandler(), nullptr);
    EXPECT_EQ(registered.lines.size(), 1u);

    // Now a different handler may register.
    EXPECT_EQ(CLogger::RegisterHandler(&other), 0u);
}

TEST_F(DiraDoroLoggerTest, LogFormatsBeforeHandingOver) {
    RecordingHandler handler;
    ASSERT_EQ(CLogger::RegisterHandler(&handler), 0u);
    const std::wstring long_text(5000, L'z');
    CLogger::Log(7, L"f.cpp", L"F::G", 3, L"%ls|%d|%hs", long_text, -1, "n");
    ASSERT_EQ(handler.lines.size(), 1u);
    EXPECT_EQ(handler.lines[0].level, 7u);  // levels pass unchanged
    EXPECT_EQ(handler.lines[0].message, long_text + L"|-1|n");  // no length limit here
}

// Lines go to stderr only when the debug-output variable is set and not "0".
TEST_F(DiraDoroLoggerTest, DefaultHandlerLineFormats) {
    struct Case {
        const char* variable;  // null: unset
        rk::DWORD level;
        const char* expected;
    };
    const Case cases[] = {
        {"1", 0, ""},
        {"1", 1, "C:\\src\\key.cpp(31): [INFO]: [DiraDoro::CRegKey::Open]: m\xC3\xA9ssage\n"},
        {"1", 2, "C:\\src\\key.cpp(31): [ERROR]: [DiraDoro::CRegKey::Open]: m\xC3\xA9ssage\n"},
        {"1", 3, "C:\\src\\key.cpp(31): [UNKNOWN]: [DiraDoro::CRegKey::Open]: m\xC3\xA9ssage\n"},
        {"1", 0xFFFFFFFF,
         "C:\\src\\key.cpp(31): [UNKNOWN]: [DiraDoro::CRegKey::Open]: m\xC3\xA9ssage\n"},
        {nullptr, 2, ""},
        {"", 2, ""},
        {"0", 2, ""},
    };
    DiraDoro::CDefaultLoggingHandler handler;
    for (const auto& c : cases) {
        if (c.variable == nullptr) {
            ::unsetenv(DiraDoro::kDebugOutputVariable);
        } else {
            ::setenv(DiraDoro::kDebugOutputVariable, c.variable, 1);
        }
        ::testing::internal::CaptureStderr();
        handler.Log(c.level, L"C:\\src\\key.cpp", L"DiraDoro::CRegKey::Open", 31, L"m\u00e9ssage");
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.expected)
            << (c.variable ? c.variable : "(unset)") << " level " << c.level;
    }
}

TEST(DiraDoroBridgeTest, LevelRouting) {
    struct Case {
        rk::DWORD dira_doro;
        LogLevel expected;
    };
    const Case cases[] = {{0, 1}, {1, 1}, {2, 4}, {3, 2}, {6, 2}, {0xFFFFFFFF, 2}};
    rk::logging::test::ScopedLogCapture capture;
    ETWLogging::CDiraDoroLogHandler bridge;
    ASSERT_TRUE(bridge.Attach(&GetProcessLogger()));
    for (const auto& c : cases) {
        EXPECT_EQ(ETWLogging::CDiraDoroLogHandler::MapLevel(c.dira_doro), c.expected) << c.dira_doro;
        capture.logger().Clear();
        bridge.Log(c.dira_doro, L"f.cpp", L"F::G", 5, L"100% as is %d");
        const auto entries = capture.logger().Entries();
        ASSERT_EQ(entries.size(), 1u) << c.dira_doro;
        EXPECT_EQ(entries[0].level, c.expected);
        EXPECT_EQ(entries[0].message, L"100% as is %d");  // not formatted again
        EXPECT_EQ(entries[0].line, 5);
    }
}

TEST(DiraDoroBridgeTest, LoggerFilterAppliesAndMissingLoggerWritesNothing) {
    ETWLogging::CDiraDoroLogHandler bridge;
    ASSERT_TRUE(bridge.Attach(&GetProcessLogger()));
    {
        rk::logging::test::ScopedLogCapture capture(rk::log_level::kDefaultSeverity);
        bridge.Log(DiraDoro::kLevelInformation, L"f", L"g", 1, L"level 1 is below severity 3");
        bridge.Log(DiraDoro::kLevelError, L"f", L"g", 1, L"level 4 passes");
        EXPECT_EQ(capture.logger().Messages(), std::vector<std::wstring>{L"level 4 passes"});
    }
    {
        rk::logging::test::ScopedProcessLogger none(nullptr);
        bridge.Log(DiraDoro::kLevelError, L"f", L"g", 1, L"nowhere");  // must not crash
    }
    bridge.Detach(&GetProcessLogger());
    rk::logging::test::ScopedLogCapture capture;
    bridge.Log(DiraDoro::kLevelError, L"f", L"g", 1, L"detached");
    EXPECT_TRUE(capture.logger().Entries().empty());
}

}  // namespace
