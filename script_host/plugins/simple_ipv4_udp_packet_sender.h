// Sends datagrams to one IPv4 address and port, logging failures.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/system/udp_sender.h"

namespace Corvane::Script {

inline constexpr wchar_t kMsgInvalidIpAddress[] = L"Invalid IP Address Format: %hs";
inline constexpr wchar_t kMsgSetServerFailed[] = L"Failed to set the server address to %hs";
inline constexpr wchar_t kMsgSendFailed[] = L"Failed to send datagram, Last Error: 0x%08X";
inline constexpr wchar_t kMsgDatagramTruncated[] =
    L"Datagram was truncated. Buffer length was %zd, but only %zd bytes were sent (%zd bytes lost).";

class CSimpleIPv4UDPPacketSender {
public:
    CSimpleIPv4UDPPacketSender(std::string address, std::uint16_t port);

    // True when the whole datagram went out.
    bool Send(std::span<const std::uint8_t> datagram);

private:
    std::string address_;
    std::uint16_t port_;
    rk::sys::UdpSender sender_;
    bool ready_ = false;
};

}  // namespace Corvane::Script
