// CRESTfulSender: the HTTP(S) requests of one "RESTclient" script object
// over one Halden::HttpTransaction: parameters (names case-insensitive:
// "http_verb", "username", "password", "requestHeaders", "agentName"),
// Connect to a URL, then one request per send on that connection, with a
// single reconnect on 12029 / 12030.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "analytics/http_transaction.h"
#include "platform/system/http/url_parts.h"

namespace Halden::Analytics {

using UrlInfo = rk::sys::http::UrlParts;

inline constexpr wchar_t kParamHttpVerb[] = L"http_verb";
inline constexpr wchar_t kParamUserName[] = L"username";
inline constexpr wchar_t kParamPassword[] = L"password";
inline constexpr wchar_t kParamRequestHeaders[] = L"requestHeaders";
inline constexpr wchar_t kParamAgentName[] = L"agentName";
inline constexpr wchar_t kDefaultVerb[] = L"GET";

// A response body is read up to this many bytes; the rest is dropped (logged).
inline constexpr std::size_t kMaxResponseBodyBytes = 1024 * 1024;

class CRESTfulSender {
public:
    CRESTfulSender() = default;
    CRESTfulSender(const CRESTfulSender&) = delete;
    CRESTfulSender& operator=(const CRESTfulSender&) = delete;

    bool Connect(const std::wstring& url);
    // Swaps in a caller-made transaction; null is refused (false).
    bool SetTransaction(std::unique_ptr<HttpTransaction> transaction);
    bool StartTransactionWithReconnect(const std::wstring& body, std::wstring& headers, std::wstring& response,
                                       DWORD& status);
    // Releases the transaction (closing its handles).
    void Disconnect();

    // An empty name is ignored (logged); an empty value removes the parameter.
    void SetParameter(const std::wstring& name, const std::wstring& value);
    std::wstring GetParameter(const std::wstring& name, const std::wstring& default_value) const;

    // The script methods' checks and effects.
    void SetHttpMode(const std::wstring& verb);
    void SetCredentials(const std::wstring& user, const std::wstring& password);
    void SetRequestHeaders(const std::wstring& headers);
    void SetAgentName(const std::wstring& name);
    // One request; the response as the JSON text of
    // {"result":"1"|"0","statusCode":"<n>","header":..,"body":..}.
    std::wstring SendRequest(const std::wstring& body);

    // The connected port (the URL's, else 443 for https and 80).
    unsigned Port() const { return port_; }

private:
    bool StartTransaction(const std::string& body, DWORD& error);
    bool ExtractResponseData(std::wstring& headers, std::wstring& response);

    std::map<std::wstring, std::wstring> parameters_;
    std::shared_ptr<UrlInfo> url_info_;
    std::wstring url_;
    unsigned port_ = 0;
    std::wstring verb_;
    std::unique_ptr<HttpTransaction> transaction_;
};

}  // namespace Halden::Analytics
