// Name resolution for proxy discovery (the resolver facts WinHTTP's
// auto-proxy uses): IPv4 addresses of a host, the machine's own address,
// and the resolver's search domains.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rk::sys::http {

class NameResolver {
public:
    NameResolver() = default;
    NameResolver(const NameResolver&) = delete;
    NameResolver& operator=(const NameResolver&) = delete;
    virtual ~NameResolver() = default;

    // Dotted-quad IPv4 addresses of `host` (a literal address gives
    // itself); empty when the name does not resolve.
    virtual std::vector<std::string> resolve_ipv4(std::string_view host) const = 0;
    // The address this machine uses towards the network ("127.0.0.1" when it
    // has none).
    virtual std::string local_ipv4() const = 0;
    // The domains the resolver appends to short names, most specific first.
    virtual std::vector<std::string> search_domains() const = 0;
};

// The system resolver: getaddrinfo (bounded by the resolver's own timeout
// and attempts), the source address of a route to the outside, and
// "search"/"domain" of <root>/etc/resolv.conf.
const NameResolver& system_name_resolver();

// "search" (or, without one, "domain") of a resolv.conf text: the last such
// line wins, as in the C library; at most `limit` domains, each lower case
// without a trailing dot.
std::vector<std::string> search_domains_from_resolv_conf(std::string_view text, std::size_t limit = 6);

}  // namespace rk::sys::http
