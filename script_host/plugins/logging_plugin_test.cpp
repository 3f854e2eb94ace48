#include "script_host/plugins/logging_plugin.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/test/udp_receiver.h"
#include "script_host/plugins/test/plugin_calls.h"

namespace Corvane::Script {
namespace {

using namespace test;

// The syslog service of a test.
using SyslogReceiver = rk::sys::test::UdpReceiver;

class LoggingPlugin : public ::testing::Test {
protected:
    SyslogReceiver syslog_;
    std::ostringstream console_;
    rk::logging::test::ScopedLogCapture log_;
    CLoggingPlugin plugin_{nullptr, console_, syslog_.port()};
};

TEST_F(LoggingPlugin, SyslogPrefixesAndNoListener) {
    const struct {
        const wchar_t* type;
        const wchar_t* message;
        std::string datagram;
    } cases[] = {
        {L"emerg", L"x", "<128>x"},
        {L"alert", L"x", "<129>x"},
        {L"critical", L"x", "<130>x"},
        {L"error", L"x", "<131>x"},
        {L"warn", L"x", "<132>x"},
        {L"notice", L"x", "<133>x"},
        {L"info", L"x", "<134>x"},
        {L"debug", L"caf\u00e9", "<135>caf\xC3\xA9"},
        {L"info", L"", "<134>"},
        {L"Info", L"x", "<131>Invalid Message type: 'Info' - message dropped"},
        {L"", L"x", "<131>Invalid Message type: '' - message dropped"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(call(plugin_, L"WriteToSyslog", {S(c.type), S(c.message)}), B(true)) << c.type;
        EXPECT_EQ(syslog_.receive(), c.datagram) << c.type;
    }
    // 2048 bytes with the prefix fit; one more does not.
    EXPECT_EQ(call(plugin_, L"WriteToSyslog", {S(L"info"), S(std::wstring(2043, L'a'))}), B(true));
    EXPECT_EQ(syslog_.receive().value_or("").size(), 2048u);
    EXPECT_EQ(error_of(plugin_, L"WriteToSyslog", {S(L"info"), S(std::wstring(2044, L'a'))}),
              "Destination buffer is too small");
    EXPECT_EQ(error_of(plugin_, L"WriteToSyslog", {S(L"info"), S(std::wstring(1100, L'\u00e9'))}),
              "Destination buffer is too small");
    EXPECT_EQ(syslog_.receive(50), std::nullopt);
    EXPECT_TRUE(log_.logger().Messages().empty());

    // Nobody listens on the port: the datagram still goes out, as UDP does.
    std::uint16_t port = 0;
    {
        const SyslogReceiver closed;
        port = closed.port();
    }
    CLoggingPlugin unheard(nullptr, console_, port);
    EXPECT_EQ(call(unheard, L"WriteToSyslog", {S(L"info"), S(L"x")}), B(true));
}

TEST(PacketSender, FailuresAreLogged) {
    rk::logging::test::ScopedLogCapture log;
    const std::vector<std::uint8_t> small(10, 'x');
    const std::vector<std::uint8_t> huge(70000, 'x');
    const struct {
        const char* address;
        const std::vector<std::uint8_t>* datagram;
        const wchar_t* logged;
    } cases[] = {
        {"127.0.0", &small, L"Invalid IP Address Format: 127.0.0"},
        {"localhost", &small, L"Invalid IP Address Format: localhost"},
        {"127.0.0.1", &huge, L"Failed to send datagram, Last Error: 0x00002738"},
    };
    for (const auto& c : cases) {
        log.logger().Clear();
        CSimpleIPv4UDPPacketSender sender(c.address, 9);
        EXPECT_FALSE(sender.Send(*c.datagram)) << c.address;
        EXPECT_EQ(log.logger().Messages(), std::vector<std::wstring>{c.logged}) << c.address;
    }
}

TEST_F(LoggingPlugin, ConsoleTraceAndLogger) {
    call(plugin_, L"WriteToConsole", {S(L"hello %s \u00e9")});
    call(plugin_, L"WriteToConsole", {S(L"")});
    EXPECT_EQ(console_.str(), "[console] hello %s \xC3\xA9\n[console] \n");

    EXPECT_TRUE(call(plugin_, L"WriteToTrace", {S(L"x")}).IsEmpty());
    EXPECT_EQ(error_of(plugin_, L"WriteToTrace", {I(1)}),
              "Incorrect number of parameters or invalid types. Number of parameters passed: 1");

    call(plugin_, L"LogMessage", {I(5), S(L"engine.js"), I(42), S(L"main"), S(L"100% done %d")});
    const auto entries = log_.logger().Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].level, 5u);
    EXPECT_EQ(entries[0].file, L"engine.js");
    EXPECT_EQ(entries[0].function, L"main");
    EXPECT_EQ(entries[0].line, 42);
    EXPECT_EQ(entries[0].message, L"100% done %d");

    rk::logging::test::ScopedLogCapture quiet(rk::log_level::kCritical);
    call(plugin_, L"LogMessage", {I(1), S(L"f"), I(1), S(L"g"), S(L"below the severity")});
    EXPECT_TRUE(quiet.logger().Messages().empty());
    EXPECT_EQ(error_of(plugin_, L"LogMessage", {I(5), S(L"f"), I(1), S(L"g")}),
              "Incorrect number of parameters or invalid types. Number of parameters passed: 4");
    EXPECT_EQ(call(plugin_, L"GetName"), S(L"logging"));
}

}  // namespace
}  // namespace Corvane::Script
