#include "script_host/plugins/simple_ipv4_udp_packet_sender.h"

#include "platform/logging/process_logger.h"

namespace Corvane::Script {
namespace {

constexpr wchar_t kFile[] = L"simple_ipv4_udp_packet_sender.cpp";

template <typename... A>
void log_failure(const wchar_t* function, int line, const wchar_t* format, const A&... args) {
    if (IsLogLevelEnabled(rk::log_level::kCritical)) {
        LogMessage(rk::log_level::kCritical, kFile, function, line, format, args...);
    }
}

}  // namespace

CSimpleIPv4UDPPacketSender::CSimpleIPv4UDPPacketSender(std::string address, std::uint16_t port)
    : address_(std::move(address)), port_(port) {}

bool CSimpleIPv4UDPPacketSender::Send(std::span<const std::uint8_t> datagram) {
    constexpr wchar_t kFunction[] = L"CSimpleIPv4UDPPacketSender::Send";
    if (!ready_) {
        const rk::DWORD error = sender_.set_server(address_, port_);
        if (error != rk::win::kErrorSuccess) {
            log_failure(kFunction, __LINE__, error == rk::win::kWsaEInval ? kMsgInvalidIpAddress : kMsgSetServerFailed,
                        address_);
            return false;
        }
        ready_ = true;
    }
    std::size_t sent = 0;
    if (const rk::DWORD error = sender_.send(datagram, sent); error != rk::win::kErrorSuccess) {
        log_failure(kFunction, __LINE__, kMsgSendFailed, error);
        return false;
    }
    if (sent < datagram.size()) {
        log_failure(kFunction, __LINE__, kMsgDatagramTruncated, datagram.size(), sent, datagram.size() - sent);
        return false;
    }
    return true;
}

}  // namespace Corvane::Script
