// Halden::HttpTransaction: one session, one connection and one request of
// the platform HTTP capability (WinHTTP's handles), each closed and
// cleared when released; the destructor closes request, connection,
// session in that order. Operations return false on failure and keep the
// WinHTTP error for GetLastError(). Used by one thread at a time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/errors/win_error.h"
#include "platform/system/http/http_session.h"

namespace Halden {

using rk::DWORD;

inline constexpr DWORD kWinHttpFlagSecure = 0x00800000;        // WINHTTP_FLAG_SECURE
inline constexpr DWORD kWinHttpOptionProxy = 38;              // WINHTTP_OPTION_PROXY
inline constexpr DWORD kWinHttpOptionSecureProtocols = 84;    // WINHTTP_OPTION_SECURE_PROTOCOLS
inline constexpr DWORD kWinHttpAddReqFlagCoalesce = 0x40000000;  // WINHTTP_ADDREQ_FLAG_COALESCE
inline constexpr DWORD kWinHttpErrorInvalidOption = 12009;    // ERROR_WINHTTP_INVALID_OPTION
inline constexpr DWORD kWinHttpErrorHeaderNotFound = 12150;   // ERROR_WINHTTP_HEADER_NOT_FOUND
inline constexpr DWORD kWinHttpErrorIncorrectHandleState = 12019;
inline constexpr DWORD kWinHttpErrorCannotConnect = 12029;
inline constexpr DWORD kWinHttpErrorConnectionError = 12030;

// The verbs of OpenRequest by number (0 to 7).
enum class HttpVerb : DWORD { kGet, kPost, kPut, kDelete, kHead, kTrace, kOptions, kConnect };
inline constexpr const wchar_t* kHttpVerbs[] = {L"GET",   L"POST",    L"PUT",     L"DELETE",
                                                L"HEAD",  L"TRACE",   L"OPTIONS", L"CONNECT"};

// Proxy settings of Connect: a fixed proxy list with its bypass list, or
// else automatic detection and/or a configuration URL, resolved for the
// connection's host and port (rk::sys::http::get_proxy_for_url).
struct HttpProxySettings {
    bool auto_detect = false;
    std::wstring auto_config_url;
    std::wstring proxy;
    std::wstring bypass;
};

// WINHTTP_PROXY_INFO for SetOption(kWinHttpOptionProxy).
struct HttpProxyInfo {
    rk::sys::http::AccessType access = rk::sys::http::AccessType::kDefaultProxy;
    std::wstring proxy;
    std::wstring bypass;
};

class HttpTransaction {
public:
    HttpTransaction() = default;
    HttpTransaction(const HttpTransaction&) = delete;
    HttpTransaction& operator=(const HttpTransaction&) = delete;

    virtual ~HttpTransaction();
    // Fails when a session exists. The session uses the user's proxy
    // configuration and the trust anchors set below. `flags` is reserved.
    virtual bool Open(const std::wstring& agent, DWORD flags);
    // On the session: kWinHttpOptionSecureProtocols (a DWORD of
    // kSecureProtocol* bits) and kWinHttpOptionProxy (an HttpProxyInfo);
    // other options are kWinHttpErrorInvalidOption.
    virtual bool SetOption(DWORD option, const void* buffer, DWORD length);
    // Needs a session and no connection.
    virtual bool Connect(const std::wstring& host, unsigned port, const HttpProxySettings* proxy);
    // Needs a connection and no request. `version` may be null or
    // "HTTP/1.1" (the only version sent); a referrer becomes "Referer", a
    // null-terminated accept-type list becomes "Accept".
    virtual bool OpenRequest(const std::wstring& verb, const std::wstring& object, const wchar_t* version,
                             const wchar_t* referrer, const wchar_t* const* accept_types, DWORD flags);
    virtual bool OpenRequest(HttpVerb verb, const std::wstring& object, const wchar_t* version,
                             const wchar_t* referrer, const wchar_t* const* accept_types, DWORD flags);
    // `length` in characters; (DWORD)-1: up to the text's end.
    virtual bool AddRequestHeaders(const std::wstring& headers, DWORD length, DWORD modifiers);
    virtual bool SendRequest(const void* data, DWORD length);
    virtual bool ReceiveResponse();
    // A custom header's value: `length` is the buffer size in bytes on
    // entry and the value's size in bytes (no terminator) on success; a
    // buffer too small gives 122 with the needed size (terminator
    // included). `index` counts same-named headers and is advanced.
    virtual bool QueryHeader(const std::wstring& name, wchar_t* buffer, DWORD& length, DWORD& index);
    // WINHTTP_QUERY_RAW_HEADERS_CRLF without a buffer: true when the call
    // reports the needed size (bytes, terminator included) in `length`.
    virtual bool QueryRawHeadersLength(DWORD& length);
    virtual bool QueryRawHeaders(wchar_t* buffer, DWORD& length);
    // The status as a number; 0 on failure.
    virtual DWORD GetStatusCode();
    virtual bool QueryDataAvailable(DWORD& size);
    virtual bool ReadData(void* buffer, DWORD size, DWORD& read);
    virtual void CloseConnection();
    virtual void CloseRequest();
    virtual void CloseSession();
    // Cracks the URL, connects to its host and port and opens a request for
    // its path and query (secure for https).
    virtual bool OpenUrl(const std::wstring& verb, const std::wstring& url);
    virtual bool GetContentLength(DWORD& value);
    // WINHTTP_AUTH_TARGET_SERVER with a kAuthScheme* scheme.
    virtual bool SetCredentials(DWORD scheme, const std::wstring& user, const std::wstring& password);
    virtual bool IsOpen() const { return session_ != nullptr; }
    virtual bool IsConnected() const { return connection_ != nullptr; }
    virtual bool HasRequest() const { return request_ != nullptr; }

    DWORD GetLastError() const { return last_error_; }

    // Trust anchors (PEM) of every transaction's sessions opened later;
    // empty: the system store. Process-wide.
    static void SetTrustAnchors(const std::filesystem::path& ca_file);

private:
    bool fail(DWORD error);

    std::unique_ptr<rk::sys::http::HttpSession> session_;
    std::unique_ptr<rk::sys::http::HttpConnection> connection_;
    std::unique_ptr<rk::sys::http::HttpRequest> request_;
    DWORD last_error_ = 0;
};

}  // namespace Halden
