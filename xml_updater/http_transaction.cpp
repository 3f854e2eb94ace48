#include "xml_updater/http_transaction.h"

#include <cstdint>

#include <mutex>
#include <span>

#include "platform/system/http/auto_proxy.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2::NHttp {
namespace {

namespace http = rk::sys::http;
constexpr wchar_t kFile[] = L"http_transaction.cpp";

struct Anchors {
    std::mutex mutex;
    std::filesystem::path ca_file;
};

Anchors& anchors() {
    static Anchors value;
    return value;
}

}  // namespace

void SetTrustAnchors(const std::filesystem::path& ca_file) {
    const std::lock_guard lock(anchors().mutex);
    anchors().ca_file = ca_file;
}

std::filesystem::path TrustAnchors() {
    const std::lock_guard lock(anchors().mutex);
    return anchors().ca_file;
}

bool CHttpTransaction::fail(rk::DWORD error) {
    last_error_ = error != 0 ? error : rk::win::kErrorInvalidParameter;
    return false;
}

bool CHttpTransaction::Open(const wchar_t* agent, const ProxySettings* proxy, rk::DWORD /*flags*/, bool ignore_proxy) {
    http::SessionOptions options;
    options.user_agent = agent != nullptr ? agent : L"";
    options.ca_file = TrustAnchors();
    if (proxy != nullptr && !ignore_proxy) {
        options.proxy.access = http::AccessType::kNamedProxy;
        options.proxy.proxy = proxy->proxy.value_or(L"");
        options.proxy.bypass = proxy->bypass.value_or(L"");
    } else {
        options.proxy.access = ignore_proxy ? http::AccessType::kNoProxy : http::AccessType::kDefaultProxy;
    }
    rk::DWORD error = 0;
    session_ = http::open_http_session(options, error);
    return session_ ? true : fail(error);
}

bool CHttpTransaction::Connect(const std::wstring& host, unsigned port, const ProxySettings* proxy) {
    constexpr wchar_t kFunction[] = L"CHttpTransaction::Connect";
    if (!session_) {
        return fail(rk::win::kErrorInvalidHandle);
    }
    if (proxy != nullptr) {
        bool resolved = false;
        const std::wstring url = http::connection_url(host, port);
        http::AutoProxyContext context;
        context.ca_file = TrustAnchors();
        const auto resolve = [&](const http::AutoProxyOptions& options) {
            http::ProxyInfo info;
            const rk::DWORD error = http::get_proxy_for_url(url, options, context, info);
            if (error == 0) {
                session_->set_proxy(http::ProxySettings{info.access, info.proxy, info.bypass});
                resolved = true;
            }
            return error;
        };
        if (proxy->auto_detect) {
            if (const rk::DWORD error = resolve(
                    {http::kAutoProxyAutoDetect, http::kAutoDetectTypeDhcp | http::kAutoDetectTypeDnsA, {}});
                error != 0) {
                XmlUpdaterLog(kXmlLogInformation, kFile, kFunction, __LINE__, L"# SetAutoProxy: Can't get proxy. Err: %d",
                              error);
            }
        }
        if (proxy->use_auto_config_url && proxy->auto_config_url && !proxy->auto_config_url->empty()) {
            if (const rk::DWORD error = resolve({http::kAutoProxyConfigUrl, 0, *proxy->auto_config_url}); error != 0) {
                XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"# SetAutoProxyUrl: Can't get proxy. Err: %d",
                              error);
            }
        }
        const bool lists_empty = proxy->proxy.value_or(L"").empty() && proxy->bypass.value_or(L"").empty();
        if (!resolved && !lists_empty) {
            http::ProxySettings named;
            named.access = http::AccessType::kNamedProxy;
            named.proxy = proxy->proxy.value_or(L"");
            named.bypass = proxy->bypass.value_or(L"");
            session_->set_proxy(named);
        }
    }
    rk::DWORD error = 0;
    connection_ = session_->connect(host, port, error);
    return connection_ ? true : fail(error);
}

bool CHttpTransaction::OpenRequest(const wchar_t* verb, const std::wstring& path, bool secure) {
    if (!connection_) {
        return fail(rk::win::kErrorInvalidHandle);
    }
    rk::DWORD error = 0;
    request_ = connection_->open_request(verb, path, secure, error);
    return request_ ? true : fail(error);
}

bool CHttpTransaction::AddRequestHeaders(const std::wstring& headers, rk::DWORD modifiers) {
    if (!request_) {
        return fail(rk::win::kErrorInvalidHandle);
    }
    const rk::DWORD error = request_->add_headers(headers, modifiers);
    return error == 0 ? true : fail(error);
}

bool CHttpTransaction::SendRequest() {
    if (!request_) {
        return fail(rk::win::kErrorInvalidHandle);
    }
    const rk::DWORD error = request_->send();
    return error == 0 ? true : fail(error);
}

bool CHttpTransaction::ReceiveResponse() {
    if (!request_) {
        return fail(rk::win::kErrorInvalidHandle);
    }
    const rk::DWORD error = request_->receive_response();
    return error == 0 ? true : fail(error);
}

bool CHttpTransaction::QueryStatusCode(int& status) {
    if (!request_) {
        return fail(rk::win::kErrorInvalidHandle);
    }
    status = static_cast<int>(request_->status_code());
    return true;
}

bool CHttpTransaction::QueryContentLength(std::uint32_t& length) {
    // ERROR_WINHTTP_HEADER_NOT_FOUND
    constexpr rk::DWORD kHeaderNotFound = 12150;
    if (!request_) {
        return fail(rk::win::kErrorInvalidHandle);
    }
    const auto value = request_->content_length();
    // A length beyond what a signed 32-bit number holds is no usable length:
    // the documented messages print lengths with %d.
    if (!value || *value > static_cast<std::uint64_t>(INT32_MAX)) {
        return fail(kHeaderNotFound);
    }
    length = static_cast<std::uint32_t>(*value);
    return true;
}

bool CHttpTransaction::ReadData(void* buffer, std::size_t size, std::size_t& read) {
    read = 0;
    if (!request_) {
        return fail(rk::win::kErrorInvalidHandle);
    }
    const rk::DWORD error = request_->read_data(std::span<std::uint8_t>(static_cast<std::uint8_t*>(buffer), size), read);
    return error == 0 ? true : fail(error);
}

bool CHttpTransaction::ReadBody(const rk::sys::http::BodySink& sink) {
    if (!request_) {
        return fail(rk::win::kErrorInvalidHandle);
    }
    const rk::DWORD error = request_->read_body(sink);
    return error == 0 ? true : fail(error);
}

}  // namespace XMLUpdater::v2::NHttp
