#include "analytics/restful_sender.h"

#include <vector>

#include "analytics/analytics_log.h"
#include "analytics/record_json.h"
#include "platform/system/http/http_types.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"

namespace Halden::Analytics {
namespace {

constexpr wchar_t kFile[] = L"RESTfulSender.cpp";
using log::kFailure;

}  // namespace

void CRESTfulSender::SetParameter(const std::wstring& name, const std::wstring& value) {
    if (name.empty()) {
        log::Write(kFailure, kFile, L"CRESTfulSender::SetParameter", __LINE__, L"Invalid (empty) parameter: ignored");
        return;
    }
    const std::wstring key = rk::text::to_lower(name);
    if (value.empty()) {
        parameters_.erase(key);
    } else {
        parameters_[key] = value;
    }
}

std::wstring CRESTfulSender::GetParameter(const std::wstring& name, const std::wstring& default_value) const {
    const auto it = parameters_.find(rk::text::to_lower(name));
    return it != parameters_.end() ? it->second : default_value;
}

void CRESTfulSender::SetHttpMode(const std::wstring& verb) {
    if (verb.empty()) {
        log::Write(kFailure, kFile, L"CRESTfulSender::SetHttpMode", __LINE__, L"Invalid (empty) verb is ignored");
        return;
    }
    SetParameter(kParamHttpVerb, verb);
}

void CRESTfulSender::SetCredentials(const std::wstring& user, const std::wstring& password) {
    constexpr wchar_t kFunction[] = L"CRESTfulSender::SetCredentials";
    if (user.empty() && password.empty()) {
        log::Write(kFailure, kFile, kFunction, __LINE__,
                   L"Both username and password were provided as empty strings - ignoring them.");
        return;
    }
    if (user.empty() || password.empty()) {
        log::Write(kFailure, kFile, kFunction, __LINE__,
                   L"Invalid (empty) credentials; both username and password must be provided - request was "
                   L"ignored.");
        return;
    }
    SetParameter(kParamUserName, user);
    SetParameter(kParamPassword, password);
}

void CRESTfulSender::SetRequestHeaders(const std::wstring& headers) { SetParameter(kParamRequestHeaders, headers); }

void CRESTfulSender::SetAgentName(const std::wstring& name) {
    if (name.empty()) {
        log::Write(kFailure, kFile, L"CRESTfulSender::SetAgentName", __LINE__, L"Invalid (empty) agentName is ignored");
        return;
    }
    SetParameter(kParamAgentName, name);
}

bool CRESTfulSender::SetTransaction(std::unique_ptr<HttpTransaction> transaction) {
    if (!transaction) {
        log::Write(kFailure, kFile, L"CRESTfulSender::SetTransaction", __LINE__,
                   L"Invalid (null) transaction provided; ignored.");
        return false;
    }
    transaction_ = std::move(transaction);
    return true;
}

void CRESTfulSender::Disconnect() { transaction_.reset(); }

bool CRESTfulSender::Connect(const std::wstring& url) {
    constexpr wchar_t kFunction[] = L"CRESTfulSender::Connect";
    if (!transaction_) {
        transaction_ = std::make_unique<HttpTransaction>();
    }
    const std::wstring agent = GetParameter(kParamAgentName, L"");
    if (agent.empty()) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"User agent name was not set. Will not connect");
        return false;
    }
    if (!transaction_->IsOpen() && !transaction_->Open(agent, 0)) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Failed to open WinHttp Transaction");
        return false;
    }
    auto info = std::make_shared<UrlInfo>();
    if (rk::sys::http::crack_url(url, *info) != 0) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Invalid URL (could not be parsed): '%s'", url);
        return false;
    }
    port_ = info->port != 0 ? info->port : (info->secure() ? 443 : 80);
    url_info_ = std::move(info);
    url_ = url;
    if (transaction_->IsConnected()) {
        transaction_->CloseRequest();
        transaction_->CloseConnection();
    }
    if (!transaction_->Connect(url_info_->host, port_, nullptr)) {
        transaction_.reset();
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Failed to connect to URL: %s", url);
        return false;
    }
    return true;
}

bool CRESTfulSender::StartTransaction(const std::string& body, DWORD& error) {
    constexpr wchar_t kFunction[] = L"CRESTfulSender::StartTransaction";
    const std::wstring user = GetParameter(kParamUserName, L"");
    const std::wstring password = GetParameter(kParamPassword, L"");
    const std::wstring headers = GetParameter(kParamRequestHeaders, L"");
    verb_ = rk::text::to_upper(GetParameter(kParamHttpVerb, kDefaultVerb));
    const std::wstring object = url_info_->request_target();
    transaction_->CloseRequest();
    if (!transaction_->OpenRequest(verb_, object, nullptr, nullptr, nullptr,
                                   url_info_->secure() ? kWinHttpFlagSecure : 0)) {
        error = transaction_->GetLastError();
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Failed to open %s request to %s", verb_, url_);
        return false;
    }
    if (!user.empty() && !password.empty() &&
        !transaction_->SetCredentials(rk::sys::http::kAuthSchemeBasic, user, password)) {
        error = transaction_->GetLastError();
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Failed to set credentials for %s", url_);
        return false;
    }
    if (!headers.empty() &&
        !transaction_->AddRequestHeaders(headers, static_cast<DWORD>(headers.size()), kWinHttpAddReqFlagCoalesce)) {
        error = transaction_->GetLastError();
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Failed to add request headers: %s", headers);
        return false;
    }
    if (!transaction_->SendRequest(body.data(), static_cast<DWORD>(body.size()))) {
        error = transaction_->GetLastError();
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Failed to send %s request to %s", verb_, url_);
        return false;
    }
    return true;
}

bool CRESTfulSender::StartTransactionWithReconnect(const std::wstring& body, std::wstring& headers,
                                                   std::wstring& response, DWORD& status) {
    constexpr wchar_t kFunction[] = L"CRESTfulSender::StartTransactionWithReconnect";
    status = 0;
    if (!transaction_) {
        return false;
    }
    if (!url_info_) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"m_urlInfo is not initialized");
        return false;
    }
    const std::string utf8 = rk::text::wide_to_utf8(body);
    DWORD error = 0;
    if (!StartTransaction(utf8, error)) {
        if (error != kWinHttpErrorCannotConnect && error != kWinHttpErrorConnectionError) {
            return false;
        }
        transaction_->CloseRequest();
        transaction_->CloseConnection();
        if (!transaction_->Connect(url_info_->host, port_, nullptr)) {
            log::Write(kFailure, kFile, kFunction, __LINE__, L"Failed to retry connecting");
            return false;
        }
        if (!StartTransaction(utf8, error)) {
            return false;
        }
    }
    if (!transaction_->ReceiveResponse()) {
        log::Write(kFailure, kFile, kFunction, __LINE__, L"Failed to receive response from %s request to %s", verb_,
                   url_);
        transaction_->CloseRequest();
        return false;
    }
    status = transaction_->GetStatusCode();
    log::Write(log::kProgress, kFile, kFunction, __LINE__,
               L"Transmission to %s on method %s resulted in status code : %d", url_, verb_, status);
    const bool extracted = ExtractResponseData(headers, response);
    transaction_->CloseRequest();
    return extracted;
}

bool CRESTfulSender::ExtractResponseData(std::wstring& headers, std::wstring& response) {
    constexpr wchar_t kFunction[] = L"CRESTfulSender::ExtractResponseData";
    DWORD length = 0;
    if (!transaction_->QueryRawHeadersLength(length)) {
        log::Write(kFailure, kFile, kFunction, __LINE__,
                   L"Failed to query length of all response headers from %s request to %s: error code 0x%08x", verb_,
                   url_, transaction_->GetLastError());
        return false;
    }
    std::vector<wchar_t> raw(length / sizeof(wchar_t) + 1, L'\0');
    if (!transaction_->QueryRawHeaders(raw.data(), length)) {
        log::Write(kFailure, kFile, kFunction, __LINE__,
                   L"Failed to query all response headers from %s request to %s: error code 0x%08x", verb_, url_,
                   transaction_->GetLastError());
        return false;
    }
    headers.assign(raw.data(), length / sizeof(wchar_t));

    std::string bytes;
    for (;;) {
        DWORD available = 0;
        if (!transaction_->QueryDataAvailable(available)) {
            log::Write(kFailure, kFile, kFunction, __LINE__, L"Failed to query response data from %s request to %s",
                       verb_, url_);
            return false;
        }
        if (available == 0) {
            break;
        }
        if (bytes.size() + available > kMaxResponseBodyBytes) {
            log::Write(kFailure, kFile, kFunction, __LINE__,
                       L"Response body of %s request to %s is longer than %zd bytes; the rest is dropped", verb_, url_,
                       kMaxResponseBodyBytes);
            available = static_cast<DWORD>(kMaxResponseBodyBytes - bytes.size());
            if (available == 0) {
                break;
            }
        }
        const std::size_t offset = bytes.size();
        bytes.resize(offset + available);
        DWORD read = 0;
        if (!transaction_->ReadData(bytes.data() + offset, available, read)) {
            log::Write(kFailure, kFile, kFunction, __LINE__, L"Failed to read response data from %s request to %s",
                       verb_, url_);
            return false;
        }
        bytes.resize(offset + read);
        if (read == 0) {
            break;
        }
    }
    response = rk::text::utf8_to_wide(bytes);
    return true;
}

std::wstring CRESTfulSender::SendRequest(const std::wstring& body) {
    std::wstring headers;
    std::wstring response;
    DWORD status = 0;
    const bool ok = StartTransactionWithReconnect(body, headers, response, status);
    Record result{{L"result", ok ? L"1" : L"0"},
                  {L"statusCode", std::to_wstring(status)},
                  {L"header", headers},
                  {L"body", response}};
    return RecordToJson(result);
}

}  // namespace Halden::Analytics
