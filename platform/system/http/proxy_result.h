// The answer of a proxy auto-configuration script's FindProxyForURL:
// "PROXY host:port; SOCKS host:port; DIRECT".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::sys::http {

struct ProxyResultEntry {
    enum class Kind { kDirect, kProxy, kSocks };
    Kind kind = Kind::kDirect;
    std::string server;  // "host:port" (port 80 added to a bare PROXY host); empty for DIRECT

    bool operator==(const ProxyResultEntry&) const = default;
};

// The entries in order. Entries are separated by ';'; keywords are compared
// without case ("HTTP" is a PROXY, "SOCKS4"/"SOCKS5" are SOCKS); an entry
// with an unknown keyword, a missing server, or a malformed host or port is
// skipped. At most 32 entries are kept.
std::vector<ProxyResultEntry> parse_proxy_result(std::string_view result);

// What WinHTTP makes of a result: the server of the first PROXY entry, or
// nullopt (a direct connection) when a DIRECT entry comes first or there is
// no PROXY entry (SOCKS is not spoken).
std::optional<std::string> first_proxy(const std::vector<ProxyResultEntry>& entries);

}  // namespace rk::sys::http
