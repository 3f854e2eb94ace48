// IPv4 UDP datagrams to one server: socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP),
// inet_pton and sendto, with Windows Sockets error numbers (WSAGetLastError).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/errors/win_error.h"

namespace rk::sys {

class UdpSender {
public:
    UdpSender() = default;
    UdpSender(const UdpSender&) = delete;
    UdpSender& operator=(const UdpSender&) = delete;
    ~UdpSender();

    // Opens the socket on first use and sets the destination. A text that is
    // not a dotted-quad IPv4 address is kWsaEInval (inet_pton gave 0) and
    // leaves the previous server; a socket that cannot be made gives its
    // error (kWsaEMFile, kWsaENoBufs, ...).
    DWORD set_server(std::string_view ipv4_address, std::uint16_t port);

    // sendto the server: `sent` is the number of bytes the system took (a
    // datagram goes whole or not at all on Linux). kWsaENotSock without a
    // server, kWsaEMsgSize above the IPv4 datagram limit.
    DWORD send(std::span<const std::uint8_t> datagram, std::size_t& sent);

private:
    int socket_ = -1;
    std::uint32_t address_ = 0;  // network order
    std::uint16_t port_ = 0;     // network order
    bool has_server_ = false;
};

}  // namespace rk::sys
