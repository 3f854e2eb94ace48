// One HTTP request and its response (WinHttpOpenRequest .. WinHttpReadData).
//
// Order of use: options and headers, send(), receive_response(), then the
// response queries and the body reads. Every operation returns 0 or a
// WinHTTP error number (see docs/seam-network-process.md for the table);
// after a transport failure every later operation returns the same number.
// A request is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/errors/win_error.h"
#include "platform/system/http/http_types.h"

namespace rk::sys::http {

// Receives the body in pieces; returning false stops the transfer and the
// read reports kWinHttpErrorOperationCancelled.
using BodySink = std::function<bool(std::span<const std::uint8_t>)>;

class HttpRequest {
public:
    HttpRequest() = default;
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;
    virtual ~HttpRequest() = default;

    // WINHTTP_OPTION_SECURITY_FLAGS: kSecurityFlagIgnore* bits. OpenSSL
    // cannot accept an unknown authority without accepting a bad date and
    // the reverse, so either of those two bits turns chain checks off.
    virtual DWORD set_security_flags(DWORD flags) = 0;

    // Replaces the session's timeouts for this request.
    virtual void set_timeouts(const Timeouts& timeouts) = 0;

    // WinHttpAddRequestHeaders: "Name: value" lines separated by CR LF (a
    // final CR LF is allowed), with kAddReqFlag* modifiers. A line without a
    // name and colon, or with a bare CR or LF, is kErrorInvalidParameter and
    // nothing is added.
    virtual DWORD add_headers(std::wstring_view headers, DWORD modifiers) = 0;

    // WinHttpSetCredentials for the server, before send(): a kAuthScheme*
    // value (Passport is kErrorInvalidParameter). Basic credentials go out
    // with the first request; the other schemes answer the server's
    // challenge.
    virtual DWORD set_credentials(DWORD scheme, std::wstring_view user, std::wstring_view password) = 0;

    // WinHttpSendRequest: connects (or reuses a connection of the session),
    // negotiates TLS and writes the request with `body`. Returns when the
    // request has gone out; connection, name and TLS failures show here.
    virtual DWORD send(std::span<const std::uint8_t> body = {}) = 0;

    // WinHttpReceiveResponse: waits for the final response's headers
    // (redirects are followed, never from https to http; interim 1xx
    // answers are skipped).
    virtual DWORD receive_response() = 0;

    // Response facts, valid after receive_response() succeeded.
    virtual DWORD status_code() const = 0;            // 0 before a response
    virtual std::wstring status_text() const = 0;     // reason phrase, may be empty
    // WINHTTP_QUERY_RAW_HEADERS_CRLF: status line and header lines, each
    // ending in CR LF, and a final empty line.
    virtual std::wstring raw_headers() const = 0;
    // The value of the `index`-th header of that name (names compared
    // without case), blanks trimmed; nullopt when absent.
    virtual std::optional<std::wstring> header(std::wstring_view name, std::size_t index = 0) const = 0;
    // Content-Length when present and a valid number.
    virtual std::optional<std::uint64_t> content_length() const = 0;

    // WinHttpQueryDataAvailable: waits until body bytes are ready or the
    // body ended (then 0).
    virtual DWORD query_data_available(std::size_t& available) = 0;
    // WinHttpReadData: copies up to buffer.size() bytes; 0 bytes read with
    // result 0 is the end of the body.
    virtual DWORD read_data(std::span<std::uint8_t> buffer, std::size_t& read) = 0;
    // Streams the rest of the body into `sink` until its end.
    virtual DWORD read_body(const BodySink& sink) = 0;
};

}  // namespace rk::sys::http
