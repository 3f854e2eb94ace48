#include "platform/system/http/url_parts.h"

#include <algorithm>

#include "platform/system/http/http_types.h"
#include "platform/text/numeric.h"
#include "platform/text/strings.h"

namespace rk::sys::http {

bool UrlParts::secure() const { return scheme == kSchemeHttps; }

std::wstring UrlParts::request_target() const {
    std::wstring target = path.empty() ? std::wstring(L"/") : path;
    const auto hash = extra.find(L'#');
    target += extra.substr(0, hash);
    return target;
}

DWORD crack_url(std::wstring_view url, UrlParts& parts) {
    parts = UrlParts{};
    if (std::any_of(url.begin(), url.end(), [](wchar_t c) { return c <= L' ' || c == 0x7F; })) {
        return win::kWinHttpErrorInvalidUrl;
    }
    const auto scheme_end = url.find(L"://");
    if (scheme_end == std::wstring_view::npos || scheme_end == 0) {
        return win::kWinHttpErrorInvalidUrl;
    }
    parts.scheme = text::to_lower(url.substr(0, scheme_end));
    if (parts.scheme != kSchemeHttp && parts.scheme != kSchemeHttps) {
        return win::kWinHttpErrorUnrecognizedScheme;
    }
    std::wstring_view rest = url.substr(scheme_end + 3);
    const auto authority_end = rest.find_first_of(L"/?#");
    std::wstring_view authority = rest.substr(0, authority_end);
    rest = authority_end == std::wstring_view::npos ? std::wstring_view{} : rest.substr(authority_end);

    if (const auto at = authority.rfind(L'@'); at != std::wstring_view::npos) {
        const std::wstring_view credentials = authority.substr(0, at);
        const auto colon = credentials.find(L':');
        parts.user = std::wstring(credentials.substr(0, colon));
        if (colon != std::wstring_view::npos) {
            parts.password = std::wstring(credentials.substr(colon + 1));
        }
        authority = authority.substr(at + 1);
    }

    std::wstring_view port_text;
    bool has_port = false;
    if (authority.starts_with(L'[')) {
        const auto close = authority.find(L']');
        if (close == std::wstring_view::npos) {
            return win::kWinHttpErrorInvalidUrl;
        }
        parts.host = std::wstring(authority.substr(1, close - 1));
        const std::wstring_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != L':') {
                return win::kWinHttpErrorInvalidUrl;
            }
            has_port = true;
            port_text = after.substr(1);
        }
    } else {
        const auto colon = authority.rfind(L':');
        parts.host = std::wstring(authority.substr(0, colon));
        if (colon != std::wstring_view::npos) {
            has_port = true;
            port_text = authority.substr(colon + 1);
        }
    }
    if (parts.host.empty()) {
        return win::kWinHttpErrorInvalidUrl;
    }
    if (has_port) {
        const auto port = text::is_decimal_digits(port_text) ? text::parse_uint32_exact(port_text) : std::nullopt;
        if (!port || *port == 0 || *port > 65535) {
            return win::kWinHttpErrorInvalidUrl;
        }
        parts.port = *port;
        parts.explicit_port = true;
    } else {
        parts.port = parts.secure() ? kDefaultHttpsPort : kDefaultHttpPort;
    }

    const auto extra_start = rest.find_first_of(L"?#");
    parts.path = std::wstring(rest.substr(0, extra_start));
    if (extra_start != std::wstring_view::npos) {
        parts.extra = std::wstring(rest.substr(extra_start));
    }
    return win::kErrorSuccess;
}

}  // namespace rk::sys::http
