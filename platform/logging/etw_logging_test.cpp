#include "platform/logging/etw_logging.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/config/obfuscated_reg_key.h"
#include "platform/config/reg_key.h"
#include "platform/logging/etw_configuration_listener.h"
#include "platform/logging/etw_record_blob.h"
#include "platform/logging/logging_errors.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace {

using ETWLogging::CETWLogging;
using ETWLogging::internal::TraceSessionState;
namespace reg = rk::sys::reg;

constexpr const wchar_t* kFile = L"platform\\logging\\etw_logging_test.cpp";

// A trace system whose sessions the test decides; keeps what was written.
struct FakeTrace {
    TraceSessionState state;
    bool classic_enabled[6] = {false, false, false, false, false, false};
    bool structured_enabled = false;
    struct Classic {
        LogLevel etw_level;
        std::string message, file, function, group, version, image;
        std::uint32_t line;
        std::vector<std::uint8_t> record;
    };
    struct Structured {
        std::string group, module, version, file, function, message;
        std::uint32_t line;
    };
    std::vector<Classic> classic;
    std::vector<Structured> structured;

    void EnableSession(LogLevel lowest, bool withStructured) {
        for (LogLevel l = 1; l <= 5; ++l) {
            classic_enabled[l] = lowest != 0 && l >= lowest;
        }
        structured_enabled = withStructured;
        state = {lowest != 0 || withStructured, lowest != 0 ? lowest : (withStructured ? 1u : 0u),
                 withStructured ? 1u : 0u};
    }
};

class FakeWriter final : public ETWLogging::internal::TraceWriterIf {
public:
    explicit FakeWriter(FakeTrace& trace) : trace_(trace) {}
    TraceSessionState Poll() const override { return trace_.state; }
    bool IsClassicEnabled(LogLevel l) const override { return l <= 5 && trace_.classic_enabled[l]; }
    bool IsStructuredEnabled() const override { return trace_.structured_enabled; }
    void WriteClassic(const ETWLogging::internal::ClassicEvent& e) override {
        trace_.classic.push_back({e.etw_level, std::string(e.message), std::string(e.file), std::string(e.function),
                                  std::string(e.group), std::string(e.version), std::string(e.image), e.line,
                                  std::vector<std::uint8_t>(e.record, e.record + e.record_length)});
    }
    void WriteStructured(const ETWLogging::internal::StructuredEvent& e) override {
        trace_.structured.push_back({std::string(e.group), std::string(e.module), std::string(e.version),
                                     std::string(e.file), std::string(e.function), std::string(e.message), e.line});
    }

private:
    FakeTrace& trace_;
};

class EtwLoggingTest : public ::testing::Test {
protected:
    std::unique_ptr<CETWLogging> MakeLogger(int echoFd = -1) {
        auto logger = std::make_unique<CETWLogging>(std::make_unique<FakeWriter>(trace_), echoFd);
        EXPECT_EQ(logger->Initialize_ex(nullptr, L"_no_group", nullptr, L"_no_host", nullptr), 0u);
        return logger;
    }
    // Registry overrides read by the listener (plain registry values); a
    // text stands for a value of the wrong type.
    static void SetOverride(const std::wstring& path, const wchar_t* name, rk::DWORD value,
                            const wchar_t* text = nullptr) {
        DiraDoro::CRegKey key;
        ASSERT_EQ(key.Create(reg::HKEY_LOCAL_MACHINE, path.c_str()), 0);
        ASSERT_EQ(text != nullptr ? key.SetStringValue(name, text) : key.SetDWORDValue(name, value),
                  0);
    }

    rk::sys::test::TempRoot root_;
    rk::sys::test::ScopedEnv no_severity_{"RK_LOG_SEVERITY", std::nullopt};
    FakeTrace trace_;
};

TEST_F(EtwLoggingTest, SessionLevelBecomesSeverityAndLinesCarryTheirEtwLevel) {
    trace_.EnableSession(1, false);
    auto logger = MakeLogger();
    // The logger starts on the first LogMessage (Start), not on a level test.
    EXPECT_FALSE(logger->IsLevelEnabled(1));
    EXPECT_FALSE(logger->IsStarted());
    ASSERT_EQ(logger->Start(), 0u);  // sees the session before the first line
    EXPECT_TRUE(logger->IsLevelEnabled(1));
    EXPECT_TRUE(logger->IsAttached());
    EXPECT_EQ(logger->GetSeverity(), 1u);
    for (LogLevel level = 1; level <= 6; ++level) {
        EXPECT_EQ(logger->Log_ex(level, kFile, L"T::F", 10, L"line %u", level), 0u);
    }
    ASSERT_EQ(trace_.classic.size(), 6u);
    const LogLevel expected_etw[] = {1, 2, 3, 4, 5, 3};  // 6 is written as 3
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(trace_.classic[i].etw_level, expected_etw[i]);
        EXPECT_EQ(trace_.classic[i].message, "line " + std::to_string(i + 1));
    }
    EXPECT_TRUE(trace_.structured.empty());  // flags bit 0 not set

    // The session narrows to levels 4 and 5: severity 4, level 3 still passes
    // the filter but the session does not record it.
    trace_.classic.clear();
    trace_.EnableSession(4, false);
    logger->PollSession();
    EXPECT_EQ(logger->GetSeverity(), 4u);
    for (LogLevel level = 1; level <= 6; ++level) {
        logger->Log_ex(level, kFile, L"T::F", 10, L"line %u", level);
    }
    ASSERT_EQ(trace_.classic.size(), 2u);
    EXPECT_EQ(trace_.classic[0].etw_level, 4u);
    EXPECT_EQ(trace_.classic[1].etw_level, 5u);

    // The session ends: detached, nothing written, severity kept.
    trace_.classic.clear();
    trace_.EnableSession(0, false);
    logger->PollSession();
    EXPECT_FALSE(logger->IsAttached());
    EXPECT_FALSE(logger->IsEnabled());
    logger->Log_ex(5, kFile, L"T::F", 10, L"gone");
    EXPECT_TRUE(trace_.classic.empty());
}

TEST_F(EtwLoggingTest, ClassicEventCarriesTheRecordBlobOfTheLine) {
    auto logger = MakeLogger();
    trace_.EnableSession(1, false);
    logger->Start();
    logger->Log_ex(4, kFile, L"CThing::Do", 77, L"%ls=%d", L"x", 5);
    ASSERT_EQ(trace_.classic.size(), 1u);
    const auto& event = trace_.classic[0];
    EXPECT_EQ(std::tie(event.message, event.function, event.line, event.group, event.version, event.image),
              std::tuple("x=5", "CThing::Do", 77u, "_no_group", rk::text::wide_to_utf8(ETWLogging::ModuleFileVersion()),
                         "rk_logging_test"));

    ETWLogging::LogRecord record;
    logger->FillRecord(kFile, L"CThing::Do", 77, record);
    EXPECT_EQ(record.process_id, static_cast<std::uint32_t>(::getpid()));
    EXPECT_EQ(record.image_name, L"rk_logging_test");
    ETWLogging::internal::CRecordBlob blob;
    blob.Build(record, 3);
    EXPECT_EQ(event.record, std::vector<std::uint8_t>(blob.bytes().begin(), blob.bytes().end()));
}

TEST_F(EtwLoggingTest, MessagesAreCutAt2080Characters) {
    auto logger = MakeLogger();
    trace_.EnableSession(1, false);
    logger->Start();
    for (std::size_t length : {2079u, 2080u, 2081u, 5000u}) {
        trace_.classic.clear();
        const std::wstring text(length, L'\u00e9');
        logger->Log_ex(5, kFile, L"T::F", 1, L"%ls", text);
        ASSERT_EQ(trace_.classic.size(), 1u);
        const std::size_t kept = std::min<std::size_t>(length, ETWLogging::kMessageBufferChars);
        EXPECT_EQ(trace_.classic[0].message.size(), 2 * kept) << length;  // two UTF-8 bytes each
        // The blob's last field is the UTF-8 length.
        const auto& r = trace_.classic[0].record;
        ASSERT_GE(r.size(), 8u);
        std::uint64_t stored = 0;
        for (int i = 7; i >= 0; --i) {
            stored = (stored << 8) | r[r.size() - 8 + static_cast<std::size_t>(i)];
        }
        EXPECT_EQ(stored, 2 * kept);
    }
}

TEST_F(EtwLoggingTest, LogVExResults) {
    auto logger = MakeLogger();
    trace_.EnableSession(1, false);
    logger->Start();
    EXPECT_EQ(logger->LogV_ex(5, kFile, L"F", 1, nullptr, {}), rk::win::kErrorInvalidParameter);
    logger->SetEnabled(false);
    EXPECT_EQ(logger->Log_ex(5, kFile, L"F", 1, L"off"), 0u);
    EXPECT_TRUE(trace_.classic.empty());
    logger->SetEnabled(true);
    EXPECT_EQ(logger->Write(kFile, L"F", 1, 5, L"100%s literal"), 0u);  // Write does not format the message
    ASSERT_EQ(trace_.classic.size(), 1u);
    EXPECT_EQ(trace_.classic[0].message, "100%s literal");
}

TEST_F(EtwLoggingTest, StructuredEventNeedsFlagBitAndSession) {
    struct Case {
        const char* name;
        bool session_structured;
        rk::DWORD registry_flags;  // ~0: no override
        std::size_t expected;
    };
    const Case cases[] = {
        {"session asks for it", true, ~0u, 1},
        {"registry clears the flag", true, 0, 0},
        {"flag set but no session records it", false, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rk::sys::test::TempRoot root;
        if (c.registry_flags != ~0u) {
            SetOverride(L"SOFTWARE\\Corvane\\Logging\\Provider", L"Flags",
                        c.registry_flags);
        }
        trace_ = FakeTrace{};
        auto logger = MakeLogger();
        trace_.EnableSession(1, c.session_structured);
        logger->Start();
        logger->Log_ex(6, L"C:\\src\\a.cpp", L"A::B", 12, L"hello");
        ASSERT_EQ(trace_.structured.size(), c.expected);
        if (c.expected == 1) {
            const auto& s = trace_.structured[0];
            EXPECT_EQ(std::tie(s.group, s.file, s.function, s.line, s.message, s.version),
                      std::tuple("_no_group", "C:\\src\\a.cpp", "A::B", 12u, "hello",
                                 rk::text::wide_to_utf8(ETWLogging::ModuleFileVersion())));
        }
    }
}

TEST_F(EtwLoggingTest, RegistryOverridesApplyInOrderAfterTheSession) {
    const std::wstring provider = L"SOFTWARE\\Corvane\\Logging\\Provider";
    struct Value {
        std::wstring key;
        const wchar_t* name;
        rk::DWORD value;
        const wchar_t* text = nullptr;
    };
    struct Case {
        const char* name;
        std::vector<Value> values;
        LogLevel severity;
        bool enabled;
        rk::DWORD flags;
    };
    const std::wstring group_key = provider + L"\\_no_group";
    const std::wstring module_key = group_key + L"\\rk_logging_test";
    const Case cases[] = {
        {"none: the session's level", {}, 2, true, 0},
        {"severity 0 becomes 1", {{provider, L"Severity", 0}}, 1, true, 0},
        {"severity 9 becomes 6", {{provider, L"Severity", 9}}, 6, true, 0},
        {"module key wins over group and provider",
         {{provider, L"Severity", 3}, {group_key, L"Severity", 4}, {module_key, L"Severity", 5}},
         5, true, 0},
        {"group key wins over provider", {{provider, L"Severity", 3}, {group_key, L"Severity", 4}}, 4, true, 0},
        {"Enable 0 disables", {{group_key, L"Enable", 0}}, 2, false, 0},
        {"Flags", {{module_key, L"Flags", 7}}, 2, true, 7},
        {"a severity of the wrong type is ignored", {{provider, L"Severity", 0, L"5"}}, 2, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rk::sys::test::TempRoot root;
        for (const auto& v : c.values) {
            SetOverride(v.key, v.name, v.value, v.text);
        }
        trace_ = FakeTrace{};
        auto logger = MakeLogger();
        trace_.EnableSession(2, false);
        logger->Start();
        EXPECT_EQ(std::tuple(logger->GetSeverity(), logger->IsEnabled(), logger->GetFlags()),
                  std::tie(c.severity, c.enabled, c.flags));
    }
}

TEST_F(EtwLoggingTest, ControlCallbackRequests) {
    auto logger = MakeLogger();
    ETWLogging::TraceEnableContext enable{9, 5, 0};
    EXPECT_EQ(logger->ControlCallback(ETWLogging::kWmiEnableEvents, &enable), 0u);
    EXPECT_EQ(logger->GetSeverity(), 5u);
    EXPECT_TRUE(logger->IsAttached());
    EXPECT_EQ(logger->ControlCallback(ETWLogging::kWmiDisableEvents, nullptr), 0u);
    EXPECT_FALSE(logger->IsAttached());
    EXPECT_FALSE(logger->IsEnabled());
    EXPECT_EQ(logger->GetSeverity(), 5u);  // the current severity is handed back

    ETWLogging::TraceEnableContext invalid{0, 5, 0};
    EXPECT_EQ(logger->ControlCallback(ETWLogging::kWmiEnableEvents, &invalid), rk::win::kErrorInvalidHandle);
    EXPECT_EQ(logger->ControlCallback(ETWLogging::kWmiEnableEvents, nullptr), rk::win::kErrorInvalidHandle);
    // Level 0: the last error of the (valid) handle lookup, no change.
    ETWLogging::TraceEnableContext level0{9, 0, 0};
    logger->SetSeverity(4);
    EXPECT_EQ(logger->ControlCallback(ETWLogging::kWmiEnableEvents, &level0), 0u);
    EXPECT_EQ(logger->GetSeverity(), 4u);
    EXPECT_EQ(logger->ControlCallback(3, nullptr), rk::win::kErrorInvalidParameter);
}

TEST_F(EtwLoggingTest, LifecycleResults) {
    auto logger = MakeLogger();
    EXPECT_EQ(logger->Initialize_ex(nullptr, L"g", nullptr, L"h", nullptr), ETWLogging::kErrorAlreadyInitialized);
    std::wstring key, group;
    logger->GetModuleKey(key);
    logger->GetGroup(group);
    EXPECT_EQ(key, L"_no_group\\rk_logging_test");
    EXPECT_EQ(group, L"_no_group");
    EXPECT_EQ(rk::win::guid_to_string(logger->event_class_guid()),
              L"{CD1DAAD0-54CC-11E0-B8AF-0800200C9A66}");
    logger->Start();
    EXPECT_TRUE(logger->IsStarted());
    EXPECT_EQ(logger->Uninitialize(), 0u);
    EXPECT_FALSE(logger->IsStarted());
    EXPECT_FALSE(logger->IsEnabled());
    EXPECT_EQ(logger->Uninitialize(), ETWLogging::kErrorNotInitialized);
}

TEST_F(EtwLoggingTest, DefaultApplicationAndPerApplicationProperties) {
    auto logger = MakeLogger();
    const auto& p = logger->properties();
    EXPECT_EQ(p.application_name, L"VKT");
    EXPECT_EQ(p.provider_key_path, L"SOFTWARE\\Corvane\\Logging\\Provider");
    EXPECT_EQ(p.controller_key_path, L"SOFTWARE\\Corvane\\Logging\\Controller");
    EXPECT_EQ(p.configuration_key_path, L"SOFTWARE\\Corvane\\Logging");
    EXPECT_EQ(p.log_path, p.program_data + L"\\Corvane\\RKLOGS");
    EXPECT_EQ(p.etl_file_path, p.program_data + L"\\Corvane\\RKLOGS\\ETW\\rklogs.etl");
    EXPECT_EQ(p.session_name, L"Corvane.{E4367DA7-2B80-47f3-86D2-7626A18FC6F4}");
    EXPECT_EQ(rk::win::guid_to_string(p.provider_guid), L"{E16CA450-55CC-11E0-B8AF-0800200C9A66}");
    EXPECT_EQ(rk::win::guid_to_string(p.session_id_guid), L"{491FB070-54CC-11E0-B8AF-0800200C9A66}");

    // Another name without a key fails, also through the Initialize fallback.
    CETWLogging other(std::make_unique<FakeWriter>(trace_), -1);
    EXPECT_EQ(other.Initialize_ex(L"Other", nullptr, nullptr, nullptr, nullptr), rk::win::kErrorInvalidParameter);
    EXPECT_EQ(other.Initialize(nullptr, nullptr, nullptr, 0), rk::win::kErrorInvalidParameter);

    // With its key and three subkeys it loads; a missing subkey fails.
    const std::wstring app = L"SOFTWARE\\Corvane.logging\\Other";
    DiraDoro::CObfuscatedRegKey key;
    for (const std::wstring& path : {app + L"\\Session", app + L"\\Provider", app}) {
        ASSERT_EQ(key.Create(reg::HKEY_LOCAL_MACHINE, path.c_str()), 0);
    }
    ASSERT_EQ(key.SetStringValue(L"Log Path", L"\\Other\\Logs"), 0);
    CETWLogging partial(std::make_unique<FakeWriter>(trace_), -1);
    EXPECT_EQ(partial.Initialize_ex(L"Other", nullptr, nullptr, nullptr, nullptr), rk::win::kErrorInvalidParameter);
    ASSERT_EQ(key.Create(reg::HKEY_LOCAL_MACHINE, (app + L"\\Controller").c_str()), 0);
    ASSERT_EQ(key.SetStringValue(L"Owner Mutex Name", L"Global\\OtherOwner"), 0);
    ASSERT_EQ(key.Create(reg::HKEY_LOCAL_MACHINE, (app + L"\\Provider").c_str()), 0);
    const std::uint8_t guid[16] = {0x78, 0x56, 0x34, 0x12, 0x34, 0x12, 0x78, 0x56, 1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(key.SetBinaryValue(L"Provider Guid", guid, sizeof guid), 0);
    CETWLogging loaded(std::make_unique<FakeWriter>(trace_), -1);
    ASSERT_EQ(loaded.Initialize_ex(L"Other", nullptr, nullptr, nullptr, nullptr), 0u);
    const auto& q = loaded.properties();
    EXPECT_EQ(q.application_key_path, app);
    EXPECT_EQ(q.provider_key_path, app + L"\\Provider");
    EXPECT_EQ(q.log_path, q.program_data + L"\\Other\\Logs");
    EXPECT_EQ(q.etl_path, q.program_data + L"\\Corvane\\RKLOGS\\ETW");  // default
    EXPECT_EQ(q.owner_mutex_name, L"Global\\OtherOwner");
    EXPECT_EQ(rk::win::guid_to_string(q.provider_guid), L"{12345678-1234-5678-0102-030405060708}");
}

TEST_F(EtwLoggingTest, EchoWritesPassingLinesToTheDescriptor) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    {
        auto logger = MakeLogger(fds[1]);
        logger->Log_ex(4, kFile, L"T::Echo", 5, L"visible %d", 1);
        logger->Log_ex(1, kFile, L"T::Echo", 6, L"filtered");
    }
    ::close(fds[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    EXPECT_NE(text.find("Error(4)"), std::string::npos) << text;
    EXPECT_NE(text.find("T::Echo (etw_logging_test.cpp:5): visible 1\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("filtered"), std::string::npos);
}

}  // namespace

// liblttng-ust starts threads when it is loaded: a logger that is built but
// never started (replaced before its first line) must not load it.
TEST(EtwTraceModule, LoadedWhenTheLoggerStartsNotWhenItIsBuilt) {
    if (!ETWLogging::internal::TraceSystemAvailable()) {
        GTEST_SKIP() << "built without a trace system";
    }
    const auto mapped = [] {
        std::ifstream maps("/proc/self/maps");
        std::string line;
        while (std::getline(maps, line)) {
            if (line.find("liblttng-ust.so") != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    if (mapped()) {
        GTEST_SKIP() << "an earlier test of this process loaded the trace module";
    }
    rk::sys::test::TempRoot root;
    CETWLogging logger;
    ASSERT_EQ(logger.Initialize_ex(nullptr, L"_no_group", nullptr, L"_no_host", nullptr), 0u);
    EXPECT_FALSE(mapped()) << "built and initialized";
    ASSERT_EQ(logger.Start(), 0u);
    EXPECT_TRUE(mapped()) << "started";
    logger.StopTrace();
}
