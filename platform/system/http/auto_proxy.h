// Automatic proxy resolution (WinHttpGetProxyForUrl): the proxy a URL should
// use according to a proxy auto-configuration script, found by WPAD
// (auto-detection) or named by a configuration URL.
//
// The script is downloaded without a proxy (http or https, at most
// AutoProxyLimits::script_max_bytes, bounded in time) and FindProxyForURL
// runs in a fresh script heap of its own with a byte and a time limit. DHCP
// detection (option 252) is not available to Linux clients and is never
// tried; DNS detection asks for wpad.<domain> along the resolver's search
// domains and fetches http://wpad.<domain>/wpad.dat. Nothing is cached:
// each call downloads and runs the script again.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors/win_error.h"
#include "platform/system/http/http_types.h"
#include "platform/system/http/name_resolver.h"

namespace rk::sys::http {

// WINHTTP_AUTOPROXY_* (AutoProxyOptions::flags).
inline constexpr DWORD kAutoProxyAutoDetect = 0x00000001;
inline constexpr DWORD kAutoProxyConfigUrl = 0x00000002;
// WINHTTP_AUTO_DETECT_TYPE_* (AutoProxyOptions::auto_detect_flags).
inline constexpr DWORD kAutoDetectTypeDhcp = 0x00000001;
inline constexpr DWORD kAutoDetectTypeDnsA = 0x00000002;

// WINHTTP_AUTOPROXY_OPTIONS. With both flags, auto-detection is tried first
// and the configuration URL when it fails.
struct AutoProxyOptions {
    DWORD flags = 0;
    DWORD auto_detect_flags = 0;
    std::wstring auto_config_url;
};

// WINHTTP_PROXY_INFO: kNamedProxy with the proxy "host:port" the script
// named, or kNoProxy for a direct connection.
struct ProxyInfo {
    AccessType access = AccessType::kNoProxy;
    std::wstring proxy;
    std::wstring bypass;
};

struct AutoProxyLimits {
    std::size_t script_max_bytes = 1024 * 1024;
    Timeouts download{0, 10000, 10000, 10000};
    std::chrono::milliseconds script_time{5000};  // name lookups of the script count
    std::size_t script_heap = 32u * 1024 * 1024;
    std::size_t wpad_max_names = 8;
};

// What the resolution depends on besides the URL; the defaults are the
// machine's.
struct AutoProxyContext {
    const NameResolver* resolver = nullptr;  // null: system_name_resolver()
    std::filesystem::path ca_file;           // trust anchors of https script URLs; empty: the system store
    unsigned wpad_port = kDefaultHttpPort;
    AutoProxyLimits limits;
    std::optional<std::int64_t> now_ms;  // the clock of the script's date helpers; nullopt: now
};

// 0 with `info` filled, or: kErrorInvalidParameter (no method asked for, or
// auto-detection without a type), the crack_url errors for `url`,
// kWinHttpErrorAutodetectionFailed (no wpad.<domain> answered with a
// script), kWinHttpErrorUnableToDownloadScript (the configuration URL gave
// no script: bad URL, transport error, status other than 200, too large),
// kWinHttpErrorBadAutoProxyScript (the script does not compile, throws,
// has no FindProxyForURL, returns no string, or exceeds its limits),
// kWinHttpErrorAutoProxyServiceError (the script engine cannot start).
DWORD get_proxy_for_url(std::wstring_view url, const AutoProxyOptions& options, const AutoProxyContext& context,
                        ProxyInfo& info);

// The URL resolved for a connection to `host`:`port` before any request
// exists (WinHttpConnect knows no scheme or path): https for port 443, http
// otherwise, path "/".
std::wstring connection_url(std::wstring_view host, unsigned port);

// The names DNS auto-detection asks for: wpad.<domain> for each search
// domain, then for each parent domain that still has two labels
// (a.corp.example.com: wpad.a.corp.example.com, wpad.corp.example.com,
// wpad.example.com), without repeats, at most `limit`.
std::vector<std::string> wpad_names(const std::vector<std::string>& domains, std::size_t limit);

}  // namespace rk::sys::http
