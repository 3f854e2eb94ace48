#include "platform/system/http/proxy_result.h"

#include "platform/text/strings.h"

namespace rk::sys::http {
namespace {

constexpr std::size_t kMaxEntries = 32;
constexpr std::string_view kBlanks = " \t\r\n";
constexpr std::string_view kDefaultPort = ":80";

std::string_view trim_blanks(std::string_view s) {
    const auto start = s.find_first_not_of(kBlanks);
    if (start == std::string_view::npos) {
        return {};
    }
    return s.substr(start, s.find_last_not_of(kBlanks) - start + 1);
}

bool host_character(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_';
}

// "host[:port]" with a DNS name or IPv4 literal and a port of 1..65535.
std::optional<std::string> server_of(std::string_view text) {
    const auto colon = text.rfind(':');
    const std::string_view host = text.substr(0, colon);
    if (host.empty() || host.size() > 255) {
        return std::nullopt;
    }
    for (const char c : host) {
        if (!host_character(c)) {
            return std::nullopt;
        }
    }
    if (colon == std::string_view::npos) {
        return std::string(host) + std::string(kDefaultPort);
    }
    const std::string_view port = text.substr(colon + 1);
    if (port.empty() || port.size() > 5) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char c : port) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) {
        return std::nullopt;
    }
    return std::string(host) + ":" + std::to_string(value);
}

}  // namespace

std::vector<ProxyResultEntry> parse_proxy_result(std::string_view result) {
    std::vector<ProxyResultEntry> entries;
    while (!result.empty() && entries.size() < kMaxEntries) {
        const auto end = result.find(';');
        const std::string_view entry = trim_blanks(result.substr(0, end));
        result = end == std::string_view::npos ? std::string_view() : result.substr(end + 1);
        const auto gap = entry.find_first_of(kBlanks);
        const std::string keyword = text::to_lower_ascii(entry.substr(0, gap));
        const std::string_view rest = gap == std::string_view::npos ? std::string_view() : trim_blanks(entry.substr(gap));
        if (keyword == "direct") {
            if (rest.empty()) {
                entries.push_back({ProxyResultEntry::Kind::kDirect, {}});
            }
            continue;
        }
        ProxyResultEntry::Kind kind;
        if (keyword == "proxy" || keyword == "http") {
            kind = ProxyResultEntry::Kind::kProxy;
        } else if (keyword == "socks" || keyword == "socks4" || keyword == "socks5") {
            kind = ProxyResultEntry::Kind::kSocks;
        } else {
            continue;
        }
        if (auto server = server_of(rest)) {
            entries.push_back({kind, std::move(*server)});
        }
    }
    return entries;
}

std::optional<std::string> first_proxy(const std::vector<ProxyResultEntry>& entries) {
    for (const auto& entry : entries) {
        if (entry.kind == ProxyResultEntry::Kind::kDirect) {
            return std::nullopt;
        }
        if (entry.kind == ProxyResultEntry::Kind::kProxy) {
            return entry.server;
        }
    }
    return std::nullopt;
}

}  // namespace rk::sys::http
