#include "platform/logging/default_log_builder.h"

#include <gtest/gtest.h>

#include "platform/logging/development_logging.h"
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

TEST(DefaultLogBuilderTest, BuildIsBuildExWithoutApplicationName) {
    ScriptedLogger::Tally tally;
    CDefaultLogBuilder builder([&] { return std::make_unique<ScriptedLogger>(0, 0, tally); });
    std::unique_ptr<CLoggingIf> out;
    EXPECT_EQ(builder.Build(L"", L"h", nullptr, 0, out), rk::win::kErrorInvalidParameter);
    EXPECT_EQ(builder.Build(L"g", nullptr, L"h", 0, out), 0u);
    EXPECT_EQ(tally.initialize_ex, 1);
}

TEST(DefaultLogBuilderTest, DefaultBuildsInitializedDevelopmentLogger) {
    CDefaultLogBuilder builder;
    std::unique_ptr<CLoggingIf> out;
    ASSERT_EQ(builder.Build(L"_no_group", nullptr, L"_no_host", 0, out), 0u);
    auto* logger = dynamic_cast<ETWLogging::CDevelopmentLogging*>(out.get());
    ASSERT_NE(logger, nullptr);
    EXPECT_EQ(logger->GetSeverity(), rk::log_level::kDefaultSeverity);
    EXPECT_TRUE(logger->IsEnabled());
    EXPECT_EQ(logger->Initialize(L"_no_group", nullptr, L"_no_host", 0), ETWLogging::kErrorAlreadyInitialized);
}

}  // namespace
