// An HTTP client session (WinHttpOpen): user agent, proxy, timeouts, TLS
// protocol range and trust anchors, shared by its connections and requests.
// Transport connections, TLS sessions and name lookups are cached in the
// session and reused by later requests to the same server. The session's
// objects may be used from several threads, each request by one at a time.
#pragma once

#include <memory>
#include <string_view>

#include "platform/errors/win_error.h"
#include "platform/system/http/http_connection.h"
#include "platform/system/http/http_types.h"

namespace rk::sys::http {

class HttpSession {
public:
    HttpSession() = default;
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;
    virtual ~HttpSession() = default;

    // WinHttpSetTimeouts on the session: applies to requests opened later.
    virtual void set_timeouts(const Timeouts& timeouts) = 0;
    // WINHTTP_OPTION_SECURE_PROTOCOLS: kSecureProtocol* bits; other bits
    // are kErrorInvalidParameter. The bits become one range from the lowest
    // to the highest TLS version set (gaps cannot be expressed); SSL 2 and 3
    // are never offered, so a set without a TLS bit makes every secure
    // request fail with kWinHttpErrorSecureFailure.
    virtual DWORD set_secure_protocols(DWORD protocols) = 0;
    // WINHTTP_OPTION_PROXY: applies to requests opened later.
    virtual void set_proxy(const ProxySettings& proxy) = 0;

    // WinHttpConnect. An empty host or port 0 is kErrorInvalidParameter.
    virtual std::unique_ptr<HttpConnection> connect(std::wstring_view host, unsigned port, DWORD& error) = 0;
};

// The real session over libcurl; null with `error` set when the library
// cannot be set up.
std::unique_ptr<HttpSession> open_http_session(const SessionOptions& options, DWORD& error);

// Unloads the HTTP stack (libcurl and the TLS, name-lookup and protocol
// libraries it pulled in, with their global state) once no session, request
// or connection is left: a process about to idle gives that memory back.
// The next open_http_session loads it again. False, changing nothing, while
// any of them is alive. (Windows keeps WinHTTP loaded: there it only reports.)
bool unload_http_stack();

}  // namespace rk::sys::http
