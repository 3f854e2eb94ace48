#include "script_host/plugins/sys_logger.h"

#include <stdexcept>
#include <string_view>

#include "platform/text/utf.h"

namespace Corvane::Script {
namespace {

struct Severity {
    std::wstring_view type;
    std::string_view prefix;
};
// Facility local0 (16 * 8 = 128) plus severities 0 to 7.
constexpr Severity kSeverities[] = {
    {L"emerg", "<128>"}, {L"alert", "<129>"}, {L"critical", "<130>"}, {L"error", "<131>"},
    {L"warn", "<132>"},  {L"notice", "<133>"}, {L"info", "<134>"},     {L"debug", "<135>"},
};
constexpr std::wstring_view kErrorType = L"error";

const std::string_view* prefix_of(const std::wstring& type) {
    for (const auto& severity : kSeverities) {
        if (severity.type == type) {
            return &severity.prefix;
        }
    }
    return nullptr;
}

}  // namespace

CSysLogger::CSysLogger(std::uint16_t port) : sender_(kSyslogAddress, port) {}

bool CSysLogger::Send(const std::wstring& type, const std::wstring& message) {
    const std::string_view* prefix = prefix_of(type);
    if (prefix == nullptr) {
        return Send(std::wstring(kErrorType), L"Invalid Message type: '" + type + L"' - message dropped");
    }
    if (message.size() > kMaxSyslogDatagram) {  // every character takes at least one byte
        throw std::length_error(kMsgDestinationTooSmall);
    }
    std::string datagram(*prefix);
    rk::text::append_wide_to_utf8(datagram, message);
    if (datagram.size() > kMaxSyslogDatagram) {
        throw std::length_error(kMsgDestinationTooSmall);
    }
    return sender_.Send(std::span(reinterpret_cast<const std::uint8_t*>(datagram.data()), datagram.size()));
}

}  // namespace Corvane::Script
