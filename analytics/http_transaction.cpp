#include "analytics/http_transaction.h"

#include <cstring>
#include <mutex>
#include <span>
#include <vector>

#include "platform/system/http/auto_proxy.h"
#include "platform/system/http/url_parts.h"

namespace Halden {
namespace {

namespace http = rk::sys::http;
namespace win = rk::win;

struct Anchors {
    std::mutex mutex;
    std::filesystem::path ca_file;
};

Anchors& anchors() {
    static Anchors value;
    return value;
}

// Copies `text` and a terminator into a caller's buffer of `length` bytes.
bool copy_out(const std::wstring& text, wchar_t* buffer, DWORD& length, DWORD& error) {
    const std::size_t needed = (text.size() + 1) * sizeof(wchar_t);
    if (buffer == nullptr || length < needed) {
        length = static_cast<DWORD>(needed);
        error = win::kErrorInsufficientBuffer;
        return false;
    }
    std::memcpy(buffer, text.c_str(), needed);
    length = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    return true;
}

}  // namespace

void HttpTransaction::SetTrustAnchors(const std::filesystem::path& ca_file) {
    const std::lock_guard lock(anchors().mutex);
    anchors().ca_file = ca_file;
}

HttpTransaction::~HttpTransaction() {
    CloseRequest();
    CloseConnection();
    CloseSession();
}

bool HttpTransaction::fail(DWORD error) {
    last_error_ = error != 0 ? error : win::kErrorInvalidParameter;
    return false;
}

bool HttpTransaction::Open(const std::wstring& agent, DWORD /*flags*/) {
    if (session_) {
        return fail(kWinHttpErrorIncorrectHandleState);
    }
    http::SessionOptions options;
    options.user_agent = agent;
    options.proxy.access = http::AccessType::kDefaultProxy;
    {
        const std::lock_guard lock(anchors().mutex);
        options.ca_file = anchors().ca_file;
    }
    DWORD error = 0;
    session_ = http::open_http_session(options, error);
    return session_ ? true : fail(error);
}

bool HttpTransaction::SetOption(DWORD option, const void* buffer, DWORD length) {
    if (!session_) {
        return fail(win::kErrorInvalidHandle);
    }
    if (buffer == nullptr) {
        return fail(win::kErrorInvalidParameter);
    }
    if (option == kWinHttpOptionSecureProtocols && length == sizeof(DWORD)) {
        DWORD protocols = 0;
        std::memcpy(&protocols, buffer, sizeof protocols);
        const DWORD error = session_->set_secure_protocols(protocols);
        return error == 0 ? true : fail(error);
    }
    if (option == kWinHttpOptionProxy && length == sizeof(HttpProxyInfo)) {
        const auto& info = *static_cast<const HttpProxyInfo*>(buffer);
        session_->set_proxy(http::ProxySettings{info.access, info.proxy, info.bypass});
        return true;
    }
    return fail(kWinHttpErrorInvalidOption);
}

bool HttpTransaction::Connect(const std::wstring& host, unsigned port, const HttpProxySettings* proxy) {
    if (!session_ || connection_) {
        return fail(!session_ ? win::kErrorInvalidHandle : kWinHttpErrorIncorrectHandleState);
    }
    if (proxy != nullptr) {
        if (!proxy->proxy.empty()) {
            session_->set_proxy(http::ProxySettings{http::AccessType::kNamedProxy, proxy->proxy, proxy->bypass});
        } else if (proxy->auto_detect || !proxy->auto_config_url.empty()) {
            // A failed resolution is kept for GetLastError() and the
            // connection goes on with the session's proxy.
            http::AutoProxyContext context;
            {
                const std::lock_guard lock(anchors().mutex);
                context.ca_file = anchors().ca_file;
            }
            http::AutoProxyOptions options;
            options.flags = (proxy->auto_detect ? http::kAutoProxyAutoDetect : 0) |
                            (proxy->auto_config_url.empty() ? 0 : http::kAutoProxyConfigUrl);
            options.auto_detect_flags = http::kAutoDetectTypeDhcp | http::kAutoDetectTypeDnsA;
            options.auto_config_url = proxy->auto_config_url;
            http::ProxyInfo info;
            if (const DWORD error = http::get_proxy_for_url(http::connection_url(host, port), options, context, info);
                error != 0) {
                last_error_ = error;
            } else {
                session_->set_proxy(http::ProxySettings{info.access, info.proxy, info.bypass});
            }
        }
    }
    DWORD error = 0;
    connection_ = session_->connect(host, port, error);
    return connection_ ? true : fail(error);
}

bool HttpTransaction::OpenRequest(const std::wstring& verb, const std::wstring& object, const wchar_t* version,
                                  const wchar_t* referrer, const wchar_t* const* accept_types, DWORD flags) {
    if (!connection_ || request_) {
        return fail(!connection_ ? win::kErrorInvalidHandle : kWinHttpErrorIncorrectHandleState);
    }
    if (version != nullptr && std::wstring_view(version) != L"HTTP/1.1") {
        return fail(win::kErrorInvalidParameter);
    }
    DWORD error = 0;
    auto request = connection_->open_request(verb, object, (flags & kWinHttpFlagSecure) != 0, error);
    if (!request) {
        return fail(error);
    }
    std::wstring headers;
    if (referrer != nullptr && *referrer != L'\0') {
        headers += L"Referer: " + std::wstring(referrer) + L"\r\n";
    }
    if (accept_types != nullptr && *accept_types != nullptr) {
        headers += L"Accept: ";
        for (auto type = accept_types; *type != nullptr; ++type) {
            headers += (type == accept_types ? L"" : L", ") + std::wstring(*type);
        }
        headers += L"\r\n";
    }
    if (!headers.empty()) {
        if (const DWORD added = request->add_headers(headers, http::kAddReqFlagAdd); added != 0) {
            return fail(added);
        }
    }
    request_ = std::move(request);
    return true;
}

bool HttpTransaction::OpenRequest(HttpVerb verb, const std::wstring& object, const wchar_t* version,
                                  const wchar_t* referrer, const wchar_t* const* accept_types, DWORD flags) {
    const auto index = static_cast<std::size_t>(verb);
    if (index >= std::size(kHttpVerbs)) {
        return fail(win::kErrorInvalidParameter);
    }
    return OpenRequest(kHttpVerbs[index], object, version, referrer, accept_types, flags);
}

bool HttpTransaction::AddRequestHeaders(const std::wstring& headers, DWORD length, DWORD modifiers) {
    if (!request_) {
        return fail(win::kErrorInvalidHandle);
    }
    std::wstring_view text(headers);
    if (length != static_cast<DWORD>(-1)) {
        text = text.substr(0, length);
    }
    const DWORD error = request_->add_headers(text, modifiers);
    return error == 0 ? true : fail(error);
}

bool HttpTransaction::SendRequest(const void* data, DWORD length) {
    if (!request_) {
        return fail(win::kErrorInvalidHandle);
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const DWORD error = request_->send(std::span<const std::uint8_t>(bytes, bytes != nullptr ? length : 0));
    return error == 0 ? true : fail(error);
}

bool HttpTransaction::ReceiveResponse() {
    if (!request_) {
        return fail(win::kErrorInvalidHandle);
    }
    const DWORD error = request_->receive_response();
    return error == 0 ? true : fail(error);
}

bool HttpTransaction::QueryHeader(const std::wstring& name, wchar_t* buffer, DWORD& length, DWORD& index) {
    if (!request_) {
        return fail(win::kErrorInvalidHandle);
    }
    const auto value = request_->header(name, index);
    if (!value) {
        return fail(kWinHttpErrorHeaderNotFound);
    }
    DWORD error = 0;
    if (!copy_out(*value, buffer, length, error)) {
        return fail(error);
    }
    ++index;
    return true;
}

bool HttpTransaction::QueryRawHeadersLength(DWORD& length) {
    if (!request_) {
        fail(win::kErrorInvalidHandle);
        return false;
    }
    if (request_->status_code() == 0) {
        fail(kWinHttpErrorIncorrectHandleState);
        return false;
    }
    length = 0;
    DWORD error = 0;
    copy_out(request_->raw_headers(), nullptr, length, error);
    last_error_ = error;
    return true;
}

bool HttpTransaction::QueryRawHeaders(wchar_t* buffer, DWORD& length) {
    if (!request_) {
        return fail(win::kErrorInvalidHandle);
    }
    if (request_->status_code() == 0) {
        return fail(kWinHttpErrorIncorrectHandleState);
    }
    DWORD error = 0;
    return copy_out(request_->raw_headers(), buffer, length, error) ? true : fail(error);
}

DWORD HttpTransaction::GetStatusCode() {
    if (!request_) {
        fail(win::kErrorInvalidHandle);
        return 0;
    }
    return request_->status_code();
}

bool HttpTransaction::QueryDataAvailable(DWORD& size) {
    if (!request_) {
        return fail(win::kErrorInvalidHandle);
    }
    std::size_t available = 0;
    const DWORD error = request_->query_data_available(available);
    if (error != 0) {
        return fail(error);
    }
    size = static_cast<DWORD>(std::min<std::size_t>(available, UINT32_MAX));
    return true;
}

bool HttpTransaction::ReadData(void* buffer, DWORD size, DWORD& read) {
    if (!request_) {
        return fail(win::kErrorInvalidHandle);
    }
    std::size_t got = 0;
    const DWORD error = request_->read_data(std::span<std::uint8_t>(static_cast<std::uint8_t*>(buffer), size), got);
    if (error != 0) {
        return fail(error);
    }
    read = static_cast<DWORD>(got);
    return true;
}

void HttpTransaction::CloseConnection() { connection_.reset(); }
void HttpTransaction::CloseRequest() { request_.reset(); }
void HttpTransaction::CloseSession() { session_.reset(); }

bool HttpTransaction::OpenUrl(const std::wstring& verb, const std::wstring& url) {
    http::UrlParts parts;
    if (const DWORD error = http::crack_url(url, parts); error != 0) {
        return fail(error);
    }
    const unsigned port = parts.explicit_port ? parts.port : (parts.secure() ? 443 : 80);
    return Connect(parts.host, port, nullptr) &&
           OpenRequest(verb, parts.request_target(), nullptr, nullptr, nullptr,
                       parts.secure() ? kWinHttpFlagSecure : 0);
}

bool HttpTransaction::GetContentLength(DWORD& value) {
    if (!request_) {
        return fail(win::kErrorInvalidHandle);
    }
    const auto length = request_->content_length();
    if (!length || *length > UINT32_MAX) {
        return fail(kWinHttpErrorHeaderNotFound);
    }
    value = static_cast<DWORD>(*length);
    return true;
}

bool HttpTransaction::SetCredentials(DWORD scheme, const std::wstring& user, const std::wstring& password) {
    if (!request_) {
        return fail(win::kErrorInvalidHandle);
    }
    const DWORD error = request_->set_credentials(scheme, user, password);
    return error == 0 ? true : fail(error);
}

}  // namespace Halden
