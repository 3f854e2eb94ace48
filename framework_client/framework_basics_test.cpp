// The error category, message names, timeout rule, component logger and
// scoped tracing, against the documented texts.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "framework_client/call_timeout.h"
#include "framework_client/component_logger.h"
#include "framework_client/framework_error.h"
#include "framework_client/message_types.h"
#include "framework_client/scoped_trace.h"
#include "platform/errors/windows_error_category.h"
#include "platform/logging/test/scoped_process_logger.h"

namespace ctp {
namespace {

using namespace std::chrono_literals;

TEST(FrameworkError, EveryCodeAndTextAndTheMappingOfOthers) {
    const std::error_category& category = framework_category();
    EXPECT_STREQ(category.name(), "ctpframework");
    const struct {
        std::uint32_t code;
        const char* text;
    } cases[] = {
        {0, "success"},
        {0x80000000u, "failed with an exception"},
        {0x80000001u, "failed with an unknown exception"},
        {0x80000002u, "the number of supplied arguments is invalid"},
        {0x80000003u, "one or more of the supplied arguments is invalid"},
        {0x80000004u, "function is not implemented"},
        {0x80000005u, "the module is not ready to service the request"},
        {0x80000006u, "the requested object was not found"},
        {0x80000007u, "a data value is invalid"},
        {0x80000008u, "out of range exception"},
        {0x80000009u, "the requested component is not available"},
        {0x8000000Au, "access denied/needs admin rights"},
        {0x8000000Bu, "version mismatch"},
        {0x8000000Cu, "external function failed"},
        {0x8000000Du, "out of memory"},
        {0x8000000Eu, "operation timed out"},
        {0x7FFFFFFFu, "unknown error code"},
        {5, "(unrecognized error)"},
        {0x8000000Fu, "(unrecognized error)"},
        {0xFFFFFFFFu, "(unrecognized error)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(category.message(static_cast<int>(c.code)), c.text) << std::hex << c.code;
    }

    // Codes of other categories map to "unknown", with a line.
    rk::logging::test::ScopedLogCapture capture;
    EXPECT_EQ(to_framework_error(make_error_code(framework_error::timed_out)), framework_error::timed_out);
    EXPECT_EQ(to_framework_error({}), framework_error::success);
    EXPECT_TRUE(capture.logger().Messages().empty());
    EXPECT_EQ(to_framework_error(std::error_code(0x800706BA, dira_doro::win32_category())), framework_error::unknown);
    EXPECT_EQ(to_framework_error(std::make_error_code(std::errc::io_error)), framework_error::unknown);
    const auto messages = capture.logger().Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], L"mapping non-framework error to framework_error::unknown");
}

TEST(FrameworkMessages, NamesByCode) {
    const struct {
        std::uint16_t type;
        const char* name;
    } cases[] = {
        {0, ""},
        {1, "framework.client.publish"},
        {8, "framework.client.get_setting"},
        {12, "framework.module.unsubscribe"},
        {13, "framework.response.invoke"},
        {16, "framework.response.setting_change"},
        {18, "framework.console.invoke.cancel"},
        {22, "framework.console.subscribe"},
        {23, "framework.module.register_settings"},
        {24, ""},
        {0xFFFF, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(message_type_name(c.type), c.name) << c.type;
    }
}

TEST(FrameworkCallTimeout, CallerThenThreadOverrideThenFourHours) {
    const auto client = 2500ms;
    EXPECT_EQ(effective_call_timeout(std::nullopt, client), 14400000ms);
    EXPECT_EQ(effective_call_timeout(7ms, client), 7ms);
    {
        scoped_call_timeout override(300);
        EXPECT_EQ(effective_call_timeout(std::nullopt, client), 300ms);
        EXPECT_EQ(effective_call_timeout(7ms, client), 7ms);
        {
            scoped_call_timeout zero(0);
            EXPECT_EQ(effective_call_timeout(std::nullopt, client), 14400000ms);
        }
        {
            scoped_call_timeout all(0xFFFFFFFFu);
            EXPECT_EQ(effective_call_timeout(std::nullopt, client), 2500ms);
        }
        // Per thread: another thread does not see this one's override.
        std::chrono::milliseconds other{};
        std::thread([&] { other = effective_call_timeout(std::nullopt, client); }).join();
        EXPECT_EQ(other, 14400000ms);
        EXPECT_EQ(effective_call_timeout(std::nullopt, client), 300ms);
    }
    EXPECT_EQ(effective_call_timeout(std::nullopt, client), 14400000ms);
}

TEST(FrameworkComponentLogger, BufferThresholdAndTracing) {
    rk::logging::test::ScopedLogCapture capture;
    auto& logger = detail::component_logger::instance();

    // 8191 characters fit; longer lines end with the marker at that length.
    const std::wstring fits(8191, L'a');
    EXPECT_EQ(detail::component_logger::bounded(fits), fits);
    const std::wstring cut = detail::component_logger::bounded(std::wstring(9000, L'b'));
    ASSERT_EQ(cut.size(), 8191u);
    EXPECT_EQ(cut.substr(8191 - 15), L"<{!truncated!}>");
    EXPECT_EQ(cut.substr(0, 5), L"bbbbb");

    logger.set_threshold(5);
    logger.log(4, __FILE__, "f", __LINE__, L"dropped %d", 4);
    logger.log(5, __FILE__, "f", __LINE__, L"kept %d", 5);
    logger.log(6, __FILE__, "f", __LINE__, L"progress %ls", L"always");
    logger.set_threshold(4);
    {
        detail::scoped_trace outer("framework", "get_setting");
        detail::scoped_trace inner("framework", "send");
        inner.set_exit_detail(L" target: 'x'");
    }
    // The elapsed time depends on the machine's load.
    auto messages = capture.logger().Messages();
    for (auto& m : messages) {
        m = std::regex_replace(m, std::wregex(LR"(\[perf\] \d+ms)"), L"[perf] Nms");
    }
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_EQ(messages[0], L"kept 5");
    EXPECT_EQ(messages[1], L"progress always");
    EXPECT_EQ(messages[2], L"[framework] (+ 1) get_setting");
    EXPECT_EQ(messages[3], L"[framework] (+ 2) send");
    EXPECT_EQ(messages[4], L"[framework] (- 2) send [perf] Nms target: 'x'");
    EXPECT_EQ(messages[5], L"[framework] (- 1) get_setting [perf] Nms");
    EXPECT_EQ(logger.product_version(), L"1.0.0.0");
}

}  // namespace
}  // namespace ctp
