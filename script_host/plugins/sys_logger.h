// Syslog datagrams to the local syslog service: "<PRI>" + the message as
// UTF-8, facility local0, severity by message type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "script_host/plugins/simple_ipv4_udp_packet_sender.h"

namespace Corvane::Script {

inline constexpr char kSyslogAddress[] = "127.0.0.1";
inline constexpr std::uint16_t kSyslogPort = 514;
// The conversion buffer: prefix and message, as UTF-8 (RFC 5424's 2048).
inline constexpr std::size_t kMaxSyslogDatagram = 2048;
inline constexpr char kMsgDestinationTooSmall[] = "Destination buffer is too small";

class CSysLogger {
public:
    // The port is fixed in the product; tests pass a port of their own.
    explicit CSysLogger(std::uint16_t port = kSyslogPort);

    // Sends one message. A type outside the table sends "Invalid Message
    // type: '<type>' - message dropped" as "error" instead. Throws
    // std::length_error (kMsgDestinationTooSmall) when the datagram would
    // exceed kMaxSyslogDatagram. True when the datagram went out.
    bool Send(const std::wstring& type, const std::wstring& message);

private:
    CSimpleIPv4UDPPacketSender sender_;
};

}  // namespace Corvane::Script
