// HttpSession and HttpConnection over libcurl (see curl_request.h for the
// request itself).
#include <algorithm>
#include <memory>

#include "platform/system/http/curl_request.h"
#include "platform/system/http/curl_support.h"
#include "platform/system/http/http_session.h"
#include "platform/system/http/session_core.h"
#include "platform/text/utf.h"

namespace rk::sys::http {
namespace {

bool is_token_char(wchar_t c) {
    if ((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z')) {
        return true;
    }
    return std::wstring_view(L"!#$%&'*+-.^_`|~").find(c) != std::wstring_view::npos;
}

// The request target as it goes on the wire: blanks, control characters,
// '#' and everything outside ASCII are percent-encoded (UTF-8).
std::string encode_target(std::wstring_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string utf8 = text::wide_to_utf8(path);
    std::string target;
    if (utf8.empty() || utf8.front() != '/') {
        target += '/';
    }
    for (unsigned char c : utf8) {
        if (c <= 0x20 || c >= 0x7F || c == '#') {
            target += '%';
            target += kHex[c >> 4];
            target += kHex[c & 0xF];
        } else {
            target += static_cast<char>(c);
        }
    }
    return target;
}

bool valid_host(std::wstring_view host) {
    return !host.empty() && std::none_of(host.begin(), host.end(), [](wchar_t c) {
        return c <= L' ' || c == 0x7F || std::wstring_view(L"/?#@[]\\").find(c) != std::wstring_view::npos;
    });
}

class CurlConnection final : public HttpConnection {
public:
    CurlConnection(std::shared_ptr<SessionCore> core, std::wstring host, unsigned port)
        : core_(std::move(core)), host_(std::move(host)), port_(port) {}

    std::unique_ptr<HttpRequest> open_request(std::wstring_view verb, std::wstring_view path, bool secure,
                                              DWORD& error) override {
        error = win::kErrorSuccess;
        if (verb.empty() || !std::all_of(verb.begin(), verb.end(), is_token_char)) {
            error = win::kErrorInvalidParameter;
            return nullptr;
        }
        const SessionOptions options = core_->options();
        RequestConfig config;
        const std::wstring_view scheme = secure ? kSchemeHttps : kSchemeHttp;
        const std::string host = text::wide_to_utf8(host_);
        const bool ipv6 = host.find(':') != std::string::npos;
        config.url = text::wide_to_utf8(scheme) + "://" + (ipv6 ? "[" + host + "]" : host) + ":" +
                     std::to_string(port_) + encode_target(path);
        config.method = text::wide_to_utf8(verb);
        config.secure = secure;
        config.user_agent = text::wide_to_utf8(options.user_agent);
        config.proxy_url = text::wide_to_utf8(core_->proxy_for(scheme, host_));
        config.timeouts = options.timeouts;
        config.secure_protocols = options.secure_protocols;
        config.ca_file = options.ca_file;
        config.body_buffer_limit = options.body_buffer_limit;
        return std::make_unique<CurlRequest>(core_, std::move(config));
    }

private:
    std::shared_ptr<SessionCore> core_;
    std::wstring host_;
    unsigned port_;
};

class CurlSession final : public HttpSession {
public:
    explicit CurlSession(std::shared_ptr<SessionCore> core) : core_(std::move(core)) {}

    void set_timeouts(const Timeouts& timeouts) override { core_->set_timeouts(timeouts); }

    DWORD set_secure_protocols(DWORD protocols) override {
        if ((protocols & ~kSecureProtocolAllKnown) != 0) {
            return win::kErrorInvalidParameter;
        }
        core_->set_secure_protocols(protocols);
        return win::kErrorSuccess;
    }

    void set_proxy(const ProxySettings& proxy) override { core_->set_proxy(proxy); }

    std::unique_ptr<HttpConnection> connect(std::wstring_view host, unsigned port, DWORD& error) override {
        error = win::kErrorSuccess;
        if (host.starts_with(L'[') && host.ends_with(L']')) {
            host = host.substr(1, host.size() - 2);
        }
        if (!valid_host(host) || port == 0 || port > 65535) {
            error = win::kErrorInvalidParameter;
            return nullptr;
        }
        return std::make_unique<CurlConnection>(core_, std::wstring(host), port);
    }

private:
    std::shared_ptr<SessionCore> core_;
};

}  // namespace

std::unique_ptr<HttpSession> open_http_session(const SessionOptions& options, DWORD& error) {
    if ((options.secure_protocols & ~kSecureProtocolAllKnown) != 0) {
        error = win::kErrorInvalidParameter;
        return nullptr;
    }
    auto core = SessionCore::create(options, error);
    if (!core) {
        return nullptr;
    }
    return std::make_unique<CurlSession>(std::move(core));
}

bool unload_http_stack() { return unload_curl_when_unused(); }

}  // namespace rk::sys::http
