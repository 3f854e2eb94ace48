// A target server of a session (WinHttpConnect): host and port only; the
// transport connection is opened by a request's send() and kept by the
// session for reuse.
#pragma once

#include <memory>
#include <string_view>

#include "platform/errors/win_error.h"
#include "platform/system/http/http_request.h"

namespace rk::sys::http {

class HttpConnection {
public:
    HttpConnection() = default;
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;
    virtual ~HttpConnection() = default;

    // WinHttpOpenRequest. `verb` is any HTTP token (case kept); `path` is
    // the path and query ("/" when empty; blanks and characters outside
    // ASCII are sent percent-encoded as UTF-8); `secure` selects TLS.
    // Returns null with `error` set (kErrorInvalidParameter for a bad verb
    // or path) on failure.
    virtual std::unique_ptr<HttpRequest> open_request(std::wstring_view verb, std::wstring_view path, bool secure,
                                                      DWORD& error) = 0;
};

}  // namespace rk::sys::http
