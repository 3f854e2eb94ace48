#include "platform/system/udp_sender.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/system/test/udp_receiver.h"

namespace rk::sys {
namespace {

using Receiver = test::UdpReceiver;

std::span<const std::uint8_t> bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(UdpSender, DatagramsArriveWhole) {
    const Receiver receiver;
    ASSERT_NE(receiver.port(), 0);
    UdpSender sender;
    ASSERT_EQ(sender.set_server("127.0.0.1", receiver.port()), 0u);
    for (const std::string& message : {std::string("<134>x"), std::string(), std::string("a\0b", 3),
                                       std::string(60000, 'z')}) {
        std::size_t sent = 99;
        ASSERT_EQ(sender.send(bytes(message), sent), 0u);
        EXPECT_EQ(sent, message.size());
        EXPECT_EQ(receiver.receive(), message);
    }
}

TEST(UdpSender, Failures) {
    UdpSender sender;
    std::size_t sent = 1;
    EXPECT_EQ(sender.send(bytes("x"), sent), 10038u);  // WSAENOTSOCK: no server yet
    EXPECT_EQ(sent, 0u);
    for (const std::string_view address :
         {std::string_view(""), std::string_view("localhost"), std::string_view("127.0.0.1.1"),
          std::string_view("256.0.0.1"), std::string_view(" 127.0.0.1"), std::string_view("::1"),
          std::string_view("127.0.0.1\0junk", 14)}) {
        EXPECT_EQ(sender.set_server(address, 514), 10022u) << address;  // WSAEINVAL
    }
    // A refused address keeps the server set before.
    const Receiver receiver;
    ASSERT_EQ(sender.set_server("127.0.0.1", receiver.port()), 0u);
    EXPECT_EQ(sender.set_server("bad", 1), 10022u);
    ASSERT_EQ(sender.send(bytes("still here"), sent), 0u);
    EXPECT_EQ(receiver.receive(), "still here");
    // Larger than an IPv4 datagram can carry: WSAEMSGSIZE.
    EXPECT_EQ(sender.send(bytes(std::string(70000, 'x')), sent), 10040u);
    EXPECT_EQ(sent, 0u);
}

}  // namespace
}  // namespace rk::sys
