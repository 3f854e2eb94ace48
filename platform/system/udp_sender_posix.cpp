#include "platform/system/udp_sender.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

namespace rk::sys {
namespace {

// errno of socket() and sendto() as WSAGetLastError reports the same failure.
DWORD wsa_from_errno(int err) {
    constexpr std::pair<int, DWORD> kMap[] = {
        {EACCES, win::kWsaEAcces},        {EPERM, win::kWsaEAcces},
        {EINVAL, win::kWsaEInval},        {EMFILE, win::kWsaEMFile},
        {ENFILE, win::kWsaEMFile},        {ENOTSOCK, win::kWsaENotSock},
        {EBADF, win::kWsaENotSock},       {EMSGSIZE, win::kWsaEMsgSize},
        {EAFNOSUPPORT, win::kWsaEAfNoSupport}, {EADDRNOTAVAIL, win::kWsaEAddrNotAvail},
        {ENETUNREACH, win::kWsaENetUnreach},   {ENOBUFS, win::kWsaENoBufs},
        {ENOMEM, win::kWsaENoBufs},       {ECONNREFUSED, win::kWsaEConnRefused},
        {EHOSTUNREACH, win::kWsaEHostUnreach},
    };
    for (const auto& [code, wsa] : kMap) {
        if (code == err) {
            return wsa;
        }
    }
    return win::kWsaEInval;
}

}  // namespace

UdpSender::~UdpSender() {
    if (socket_ >= 0) {
        ::close(socket_);
    }
}

DWORD UdpSender::set_server(std::string_view ipv4_address, std::uint16_t port) {
    in_addr parsed{};
    const std::string text(ipv4_address);
    if (text.find('\0') != std::string::npos || ::inet_pton(AF_INET, text.c_str(), &parsed) != 1) {
        return win::kWsaEInval;
    }
    if (socket_ < 0) {
        socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
        if (socket_ < 0) {
            return wsa_from_errno(errno);
        }
    }
    address_ = parsed.s_addr;
    port_ = htons(port);
    has_server_ = true;
    return win::kErrorSuccess;
}

DWORD UdpSender::send(std::span<const std::uint8_t> datagram, std::size_t& sent) {
    sent = 0;
    if (!has_server_) {
        return win::kWsaENotSock;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = port_;
    to.sin_addr.s_addr = address_;
    ssize_t n = -1;
    do {
        n = ::sendto(socket_, datagram.data(), datagram.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        return wsa_from_errno(errno);
    }
    sent = static_cast<std::size_t>(n);
    return win::kErrorSuccess;
}

}  // namespace rk::sys
