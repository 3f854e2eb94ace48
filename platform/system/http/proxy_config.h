// The current user's proxy configuration (WinHttpGetIEProxyConfigForCurrentUser)
// and the choice of proxy for one request.
//
// On Linux the configuration comes from the standard environment variables:
// http_proxy, https_proxy, all_proxy and no_proxy; each lower-case name wins
// over its upper-case form. auto_proxy asks for automatic resolution: the
// URL of a proxy script, or the word "wpad" for auto-detection.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace rk::sys::http {

// WINHTTP_CURRENT_USER_IE_PROXY_CONFIG.
struct ProxyConfig {
    bool auto_detect = false;
    std::wstring auto_config_url;
    std::wstring proxy;   // WinHTTP proxy list ("http=...;https=..."), empty: direct
    std::wstring bypass;  // WinHTTP bypass list
};

inline constexpr char kEnvHttpProxy[] = "http_proxy";
inline constexpr char kEnvHttpsProxy[] = "https_proxy";
inline constexpr char kEnvAllProxy[] = "all_proxy";
inline constexpr char kEnvNoProxy[] = "no_proxy";
inline constexpr char kEnvAutoProxy[] = "auto_proxy";

// Reads one environment variable; nullopt when unset.
using EnvironmentReader = std::function<std::optional<std::string>(const std::string& name)>;

// The configuration the variables describe. A proxy variable's value
// "[scheme://]host[:port][/...]" becomes the entry "http=scheme://host:port"
// (or "https=..."); all_proxy serves a scheme that has no variable of its
// own. no_proxy entries (comma or blank separated) become bypass patterns:
// "example.com" and ".example.com" both give "example.com;*.example.com",
// "*" gives "*", an address or an IPv4 block ("10.0.0.0/8") is kept.
// auto_proxy "wpad" (without case) sets auto_detect; any other value is the
// auto_config_url.
ProxyConfig proxy_config_from_environment(const EnvironmentReader& read);

// The same for the process environment.
ProxyConfig current_user_proxy_config();

// Whether `host` matches a pattern of a WinHTTP bypass list. Patterns are
// compared without case; '*' matches any run of characters; "<local>"
// matches names without a dot; "a.b.c.d/n" matches IPv4 addresses in that
// block; a leading "scheme://" of a pattern is ignored.
bool bypasses_proxy(std::wstring_view bypass_list, std::wstring_view host);

// The proxy of a WinHTTP proxy list for a request with `scheme` ("http" or
// "https") to `host`, as a URL for the transport ("http://proxy:8080");
// empty for a direct connection (bypassed host, or no entry applies). An
// entry "scheme=..." applies to that scheme only and wins over an entry
// without one.
std::wstring select_proxy(std::wstring_view proxy_list, std::wstring_view bypass_list, std::wstring_view scheme,
                          std::wstring_view host);

}  // namespace rk::sys::http
