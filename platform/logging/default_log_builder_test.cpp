#include "platform/logging/default_log_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "platform/config/obfuscated_reg_key.h"
#include "platform/logging/etw_logging.h"
#include "platform/logging/file_logging.h"
#include "platform/logging/process_logger.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/test/temp_root.h"
#include "platform/logging/logging_errors.h"
#include "platform/logging/test/capturing_logger.h"

namespace {

using ETWLogging::CDefaultLogBuilder;
using ETWLogging::CLoggingIf;

// Fails Initialize_ex and/or Initialize with the given results and counts
// what the builder did with it.
class ScriptedLogger final : public rk::logging::test::CapturingLogger {
public:
    struct Tally {
        int initialize_ex = 0, initialize = 0, add_ref = 0, destroyed = 0;
    };
    ScriptedLogger(rk::DWORD ex_result, rk::DWORD plain_result, Tally& tally)
        : ex_result_(ex_result), plain_result_(plain_result), tally_(tally) {}
    ~ScriptedLogger() override { ++tally_.destroyed; }

    rk::DWORD Initialize_ex(const wchar_t*, const wchar_t*, ETWLogging::ModuleHandle, const wchar_t*,
                            std::unique_ptr<ETWLogging::LoggingConfigListenerIf>) override {
        ++tally_.initialize_ex;
        return ex_result_;
    }
    rk::DWORD Initialize(const wchar_t*, ETWLogging::ModuleHandle, const wchar_t*, rk::DWORD) override {
        ++tally_.initialize;
        return plain_result_;
    }
    rk::DWORD AddRef() override {
        ++tally_.add_ref;
        return 1;
    }

private:
    rk::DWORD ex_result_, plain_result_;
    Tally& tally_;
};

TEST(DefaultLogBuilderTest, RefusalsAndInitializationFallback) {
    rk::sys::test::TempRoot root;
    struct Case {
        const char* name;
        const wchar_t* group;
        const wchar_t* host;
        bool slot_filled;
        rk::DWORD ex_result, plain_result;
        rk::DWORD expected;
        int initialize_ex, initialize;
        bool built;
    };
    const Case cases[] = {
        {"process parameters", L"_no_group", L"_no_host", false, 0, 0, 0, 1, 0, true},
        {"no group, no host", nullptr, nullptr, false, 0, 0, 0, 1, 0, true},
        {"slot already filled", L"g", L"h", true, 0, 0, rk::win::kErrorInvalidState, 0, 0, false},
        {"empty group", L"", L"h", false, 0, 0, rk::win::kErrorInvalidParameter, 0, 0, false},
        {"empty host", L"g", L"", false, 0, 0, rk::win::kErrorInvalidParameter, 0, 0, false},
        {"Initialize_ex fails, Initialize works", L"g", L"h", false, 87, 0, 0, 1, 1, true},
        {"both fail", L"g", L"h", false, 87, 20001, 20001, 1, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedLogger::Tally tally;
        CDefaultLogBuilder builder(
            [&] { return std::make_unique<ScriptedLogger>(c.ex_result, c.plain_result, tally); });
        std::unique_ptr<CLoggingIf> out;
        CLoggingIf* existing = nullptr;
        if (c.slot_filled) {
            out = std::make_unique<rk::logging::test::CapturingLogger>();
            existing = out.get();
        }
        EXPECT_EQ(builder.Build_ex(nullptr, c.group, nullptr, c.host, 0, out, nullptr), c.expected);
        EXPECT_EQ(tally.initialize_ex, c.initialize_ex);
        EXPECT_EQ(tally.initialize, c.initialize);
        if (c.built) {
            EXPECT_NE(out, nullptr);
            EXPECT_EQ(tally.add_ref, 1);
            EXPECT_EQ(tally.destroyed, 0);
        } else {
            EXPECT_EQ(out.get(), existing);  // untouched
            EXPECT_EQ(tally.add_ref, 0);
            EXPECT_EQ(tally.destroyed, c.initialize_ex);  // a failed logger is destroyed
        }
    }
}

// "Logging Mechanism" handed in instead of the registry.
class MapSettings final : public ETWLogging::LoggingSettingsIf {
public:
    explicit MapSettings(std::optional<rk::DWORD> mechanism) : mechanism_(mechanism) {}
    bool ReadDword(const wchar_t* name, rk::DWORD& value) const override {
        if (!mechanism_ || std::wstring_view(name) != L"Logging Mechanism") {
            return false;
        }
        value = *mechanism_;
        return true;
    }

private:
    std::optional<rk::DWORD> mechanism_;
};

TEST(DefaultLogBuilderTest, MechanismChoosesTheLogger) {
    enum class Stored { kNone, kDword, kString };
    struct Case {
        const char* name;
        rk::DWORD override_mechanism;
        Stored stored;
        rk::DWORD value;
        bool use_settings_source;
        bool file;
    };
    const Case cases[] = {
        {"no value: ETW", 0, Stored::kNone, 0, false, false},
        {"registry 1: file", 0, Stored::kDword, 1, false, true},
        {"registry 0: ETW", 0, Stored::kDword, 0, false, false},
        {"registry 2: ETW", 0, Stored::kDword, 2, false, false},
        {"registry value of another type: ETW", 0, Stored::kString, 1, false, false},
        {"override 1 wins over registry 0", 1, Stored::kDword, 0, false, true},
        {"settings source 1: file", 0, Stored::kDword, 1, true, true},
        {"settings source without the value: ETW", 0, Stored::kNone, 0, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rk::sys::test::TempRoot root;
        std::optional<rk::DWORD> source_value;
        if (c.stored == Stored::kDword) {
            if (c.use_settings_source) {
                source_value = c.value;
            } else {
                DiraDoro::CObfuscatedRegKey key;
                ASSERT_EQ(key.Create(rk::sys::reg::HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Logging"), 0);
                ASSERT_EQ(key.SetDWORDValue(L"Logging Mechanism", c.value), 0);
            }
        } else if (c.stored == Stored::kString) {
            DiraDoro::CObfuscatedRegKey key;
            ASSERT_EQ(key.Create(rk::sys::reg::HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Logging"), 0);
            ASSERT_EQ(key.SetStringValue(L"Logging Mechanism", L"1"), 0);
        }
        const MapSettings settings(source_value);
        CDefaultLogBuilder builder;
        std::unique_ptr<CLoggingIf> out;
        ASSERT_EQ(builder.Build_ex(nullptr, L"_no_group", nullptr, L"_no_host", c.override_mechanism, out,
                                   c.use_settings_source ? &settings : nullptr),
                  0u);
        EXPECT_EQ(dynamic_cast<ETWLogging::CLogging*>(out.get()) != nullptr, c.file);
        EXPECT_EQ(dynamic_cast<ETWLogging::CETWLogging*>(out.get()) != nullptr, !c.file);
        EXPECT_EQ(out->Initialize(L"_no_group", nullptr, L"_no_host", 0), ETWLogging::kErrorAlreadyInitialized);
        // Referenced once by the builder.
        EXPECT_EQ(out->AddRef(), 2u);
    }
}

TEST(DefaultLogBuilderTest, UnknownApplicationLeavesTheProcessWithoutLogger) {
    rk::sys::test::TempRoot root;
    CDefaultLogBuilder builder;
    std::unique_ptr<CLoggingIf> out;
    EXPECT_EQ(builder.Build_ex(L"NoSuchApp", L"_no_group", nullptr, L"_no_host", 0, out, nullptr),
              rk::win::kErrorInvalidParameter);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(builder.Build_ex(L"VKT", L"_no_group", nullptr, L"_no_host", 0, out, nullptr), 0u);
    EXPECT_NE(out, nullptr);
}

TEST(DefaultLogBuilderTest, EtwLoggerWithoutSessionStoresNothing) {
    rk::sys::test::TempRoot root;
    CDefaultLogBuilder builder;
    std::unique_ptr<CLoggingIf> out;
    ASSERT_EQ(builder.Build(L"_no_group", nullptr, L"_no_host", 0, out), 0u);
    rk::logging::test::ScopedProcessLogger installed(std::move(out));
    EXPECT_EQ(LogMessage(rk::log_level::kCritical, L"f.cpp", L"T::F", 1, L"dropped %d", 1), 0u);
    EXPECT_FALSE(std::filesystem::exists(root.path() / "var/lib/Corvane/RKLOGS/_no_group"));
}

}  // namespace
