#include "platform/system/udp_sender.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace rk::sys {
namespace {

// A UDP socket on 127.0.0.1 and an ephemeral port.
class Receiver {
public:
    Receiver() : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;
    ~Receiver() { ::close(fd_); }

    std::uint16_t port() const { return port_; }

    // The next datagram, or nullopt after 5 s.
    std::optional<std::string> receive() const {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 5000) != 1) {
            return std::nullopt;
        }
        std::vector<char> buffer(70000);
        const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
        return n < 0 ? std::nullopt : std::optional<std::string>(std::string(buffer.data(), static_cast<std::size_t>(n)));
    }

private:
    int fd_;
    std::uint16_t port_ = 0;
};

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
