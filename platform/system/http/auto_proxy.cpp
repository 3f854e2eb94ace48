#include "platform/system/http/auto_proxy.h"

#include <algorithm>
#include <memory>

#include "platform/system/http/http_connection.h"
#include "platform/system/http/http_request.h"
#include "platform/system/http/http_session.h"
#include "platform/system/http/proxy_result.h"
#include "platform/system/http/url_parts.h"
#include "platform/text/utf.h"
#include "script_host/duktape/pac_script.h"

namespace rk::sys::http {
namespace {

using rk::win::kErrorInvalidParameter;
using rk::win::kWinHttpErrorAutodetectionFailed;
using rk::win::kWinHttpErrorAutoProxyServiceError;
using rk::win::kWinHttpErrorBadAutoProxyScript;
using rk::win::kWinHttpErrorUnableToDownloadScript;

constexpr wchar_t kAgent[] = L"WinHttp-Autoproxy-Service/5.1";
constexpr char kWpadPrefix[] = "wpad.";
constexpr char kWpadPath[] = "/wpad.dat";
constexpr std::size_t kBodyBuffer = 64 * 1024;

// The script at `url`; `host_header` names the server when `url` holds its
// address. 0 or kWinHttpErrorUnableToDownloadScript.
DWORD download_script(const std::wstring& url, const std::wstring& host_header, const AutoProxyContext& context,
                      std::string& script) {
    UrlParts parts;
    if (crack_url(url, parts) != 0) {
        return kWinHttpErrorUnableToDownloadScript;
    }
    SessionOptions options;
    options.user_agent = kAgent;
    options.proxy.access = AccessType::kNoProxy;
    options.timeouts = context.limits.download;
    options.ca_file = context.ca_file;
    options.body_buffer_limit = kBodyBuffer;
    DWORD error = 0;
    const auto session = open_http_session(options, error);
    if (!session) {
        return kWinHttpErrorUnableToDownloadScript;
    }
    const auto connection = session->connect(parts.host, parts.port, error);
    if (!connection) {
        return kWinHttpErrorUnableToDownloadScript;
    }
    const auto request = connection->open_request(kVerbGet, parts.request_target(), parts.secure(), error);
    if (!request) {
        return kWinHttpErrorUnableToDownloadScript;
    }
    if (!host_header.empty() && request->add_headers(L"Host: " + host_header, kAddReqFlagAdd) != 0) {
        return kWinHttpErrorUnableToDownloadScript;
    }
    if (request->send() != 0 || request->receive_response() != 0 || request->status_code() != 200) {
        return kWinHttpErrorUnableToDownloadScript;
    }
    const std::size_t limit = context.limits.script_max_bytes;
    if (const auto length = request->content_length(); length && *length > limit) {
        return kWinHttpErrorUnableToDownloadScript;
    }
    script.clear();
    const DWORD read = request->read_body([&](std::span<const std::uint8_t> piece) {
        if (piece.size() > limit - script.size()) {
            return false;
        }
        script.append(reinterpret_cast<const char*>(piece.data()), piece.size());
        return true;
    });
    return read == 0 ? 0 : kWinHttpErrorUnableToDownloadScript;
}

DWORD run_script(const std::string& script, std::wstring_view url, const UrlParts& parts, const NameResolver& resolver,
                 const AutoProxyContext& context, ProxyInfo& info) {
    Corvane::Script::duktape::PacHost host;
    host.resolve = [&resolver](const std::string& name) -> std::optional<std::string> {
        auto addresses = resolver.resolve_ipv4(name);
        return addresses.empty() ? std::nullopt : std::optional<std::string>(std::move(addresses.front()));
    };
    host.local_address = [&resolver] { return resolver.local_ipv4(); };
    host.now_ms = context.now_ms;
    Corvane::Script::ScriptLimits limits;
    limits.time_limit = context.limits.script_time;
    limits.heap_limit = context.limits.script_heap;
    const auto outcome = Corvane::Script::duktape::RunProxyScript(script, text::wide_to_utf8(url),
                                                                   text::wide_to_utf8(parts.host), host, limits);
    if (outcome.engine) {
        return kWinHttpErrorAutoProxyServiceError;
    }
    if (!outcome.ran) {
        return kWinHttpErrorBadAutoProxyScript;
    }
    info = ProxyInfo{};
    if (const auto proxy = first_proxy(parse_proxy_result(outcome.result))) {
        info.access = AccessType::kNamedProxy;
        info.proxy = text::utf8_to_wide(*proxy);
    }
    return 0;
}

// The script of the first wpad.<domain> that resolves and serves one.
DWORD detect_script(const NameResolver& resolver, const AutoProxyContext& context, std::string& script) {
    for (const auto& name : wpad_names(resolver.search_domains(), context.limits.wpad_max_names)) {
        const auto addresses = resolver.resolve_ipv4(name);
        if (addresses.empty()) {
            continue;
        }
        const std::wstring port = std::to_wstring(context.wpad_port);
        const std::wstring host = text::utf8_to_wide(name) + (context.wpad_port == kDefaultHttpPort ? L"" : L":" + port);
        const std::wstring url =
            L"http://" + text::utf8_to_wide(addresses.front()) + L":" + port + text::utf8_to_wide(kWpadPath);
        if (download_script(url, host, context, script) == 0) {
            return 0;
        }
    }
    return kWinHttpErrorAutodetectionFailed;
}

}  // namespace

std::wstring connection_url(std::wstring_view host, unsigned port) {
    const bool literal6 = host.find(L':') != std::wstring_view::npos;
    std::wstring url = port == kDefaultHttpsPort ? L"https://" : L"http://";
    url += literal6 ? L"[" + std::wstring(host) + L"]" : std::wstring(host);
    url += L":" + std::to_wstring(port) + L"/";
    return url;
}

std::vector<std::string> wpad_names(const std::vector<std::string>& domains, std::size_t limit) {
    std::vector<std::string> names;
    for (const auto& domain : domains) {
        std::string_view rest = domain;
        while (!rest.empty() && names.size() < limit) {
            std::string name = kWpadPrefix + std::string(rest);
            if (std::find(names.begin(), names.end(), name) == names.end()) {
                names.push_back(std::move(name));
            }
            const auto dot = rest.find('.');
            if (dot == std::string_view::npos || rest.find('.', dot + 1) == std::string_view::npos) {
                break;  // the parent would be a top-level domain
            }
            rest.remove_prefix(dot + 1);
        }
    }
    return names;
}

DWORD get_proxy_for_url(std::wstring_view url, const AutoProxyOptions& options, const AutoProxyContext& context,
                        ProxyInfo& info) {
    const bool detect = (options.flags & kAutoProxyAutoDetect) != 0;
    const bool config = (options.flags & kAutoProxyConfigUrl) != 0;
    if ((!detect && !config) || (detect && (options.auto_detect_flags & (kAutoDetectTypeDhcp | kAutoDetectTypeDnsA)) == 0) ||
        (config && !detect && options.auto_config_url.empty())) {
        return kErrorInvalidParameter;
    }
    UrlParts parts;
    if (const DWORD cracked = crack_url(url, parts); cracked != 0) {
        return cracked;
    }
    const NameResolver& resolver = context.resolver != nullptr ? *context.resolver : system_name_resolver();
    std::string script;
    DWORD error = kWinHttpErrorAutodetectionFailed;
    // DHCP (option 252) has no Linux client interface: only DNS is asked.
    if (detect && (options.auto_detect_flags & kAutoDetectTypeDnsA) != 0) {
        error = detect_script(resolver, context, script);
    }
    if (error != 0 && config && !options.auto_config_url.empty()) {
        error = download_script(options.auto_config_url, {}, context, script);
    }
    return error != 0 ? error : run_script(script, url, parts, resolver, context, info);
}

}  // namespace rk::sys::http
