// Test helper: a UDP socket bound to 127.0.0.1 on a port of its own, standing
// in for a syslog or event server.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rk::sys::test {

class UdpReceiver {
public:
    UdpReceiver() : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    UdpReceiver(const UdpReceiver&) = delete;
    UdpReceiver& operator=(const UdpReceiver&) = delete;
    ~UdpReceiver() { ::close(fd_); }

    // 0 when the socket could not be bound.
    std::uint16_t port() const { return port_; }

    // The next datagram, whole; nullopt when none arrives within `ms`.
    std::optional<std::string> receive(int ms = 5000) const {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, ms) != 1) {
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

}  // namespace rk::sys::test
