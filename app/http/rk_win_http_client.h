// RkWinHttpClient: the small synchronous HTTP client the polling loop uses to
// fetch the update manifest, over the seam's HTTP capability (WinHTTP on
// Windows, libcurl here).
//
// One session is kept from the first request until ReleaseSession(); every
// request opens its own connection and request. The caller judges the outcome: error code 0 means
// a response arrived (whatever its status), anything else is a Windows or
// WinHTTP error number (docs/app.md lists which). One thread uses a client.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors/win_error.h"
#include "platform/system/http/http_session.h"
#include "platform/system/http/http_types.h"

namespace rk::app {

inline constexpr std::wstring_view kMethodGet = L"GET";
inline constexpr std::wstring_view kMethodPost = L"POST";
inline constexpr std::wstring_view kMethodPatch = L"PATCH";

inline constexpr std::wstring_view kDefaultUserAgent = L"RkWinHttp";
// The manifest server's port, whatever port or scheme a URL names.
inline constexpr unsigned kManifestServerPort = 443;
// Port value that makes requests go to the port the URL names.
inline constexpr unsigned kPortFromUrl = 0;
// SendHttpRequest's error code when the request could not be sent.
inline constexpr DWORD kSendFailedError = 50;
// The body buffer's first size; it doubles when a chunk does not fit.
inline constexpr std::size_t kInitialBodyBufferSize = 10240;
// The largest body kept; a longer one fails the request with
// kWinHttpErrorResponseDrainOverflow. The daemon sets the deployment
// profile's value (manifest_max_bytes).
inline constexpr std::uint32_t kDefaultMaxBodyBytes = 1u << 20;
// Body character sets starting with this (any case) decode as UTF-8.
inline constexpr std::wstring_view kUtf8Charset = L"utf-8";

inline constexpr sys::http::Timeouts kDefaultTimeouts{0, 60000, 30000, 30000};

class RkWinHttpClient {
public:
    RkWinHttpClient();
    RkWinHttpClient(const RkWinHttpClient&) = delete;
    RkWinHttpClient& operator=(const RkWinHttpClient&) = delete;
    ~RkWinHttpClient();

    // Sends `method` ("GET", "POST" or "PATCH", any case; sent upper case,
    // never with a body) to the URL and reads the whole response. True when
    // a response was received; the error code says the same in more detail.
    bool SendHttpRequest(const std::wstring& method);

    void SetUrl(std::wstring url) { url_ = std::move(url); }
    const std::wstring& GetUrl() const { return url_; }
    // Extra "Name: value" lines (CR LF separated) for the next request only.
    void SetRequestHeaders(std::wstring headers) { request_headers_ = std::move(headers); }
    // False (the default): certificate errors of HTTPS servers are ignored.
    void SetStrictCertificates(bool strict) { strict_certificates_ = strict; }
    void SetBodyCharset(std::wstring charset) { body_charset_ = std::move(charset); }
    void SetTimeouts(const sys::http::Timeouts& timeouts) { timeouts_ = timeouts; }
    // kManifestServerPort by default; kPortFromUrl follows the URL (a
    // deployment switch for local servers, docs/app.md).
    void SetServerPort(unsigned port) { server_port_ = port; }
    // The body bound; at most 0xFFFFFFFE so the 32-bit length and its
    // terminating zero byte never wrap.
    void SetMaxBodyBytes(std::uint64_t bytes);

    // Closes the session (its cached connections and TLS state) and frees
    // the last response, for a caller about to idle for long; the next
    // request opens a new session and reads the proxy settings again, as a
    // new WinHttpOpen would.
    void ReleaseSession();

    DWORD GetErrorCode() const { return error_code_; }
    const std::wstring& GetStatusText() const { return status_text_; }
    const std::wstring& GetBody() const { return body_; }
    const std::wstring& GetResponseHeaders() const { return response_headers_; }
    // The body bytes of the last response.
    std::span<const std::uint8_t> GetRawBody() const { return {raw_body_.data(), raw_body_length_}; }

private:
    bool OpenSession();
    void SetHttpSecureProtocol();
    // False when the body is longer than the bound (nothing is kept then).
    bool ReadBody(sys::http::HttpRequest& request);
    void DecodeBody();

    std::unique_ptr<sys::http::HttpSession> session_;
    bool strict_certificates_ = false;
    std::wstring url_;
    std::wstring response_headers_;
    std::wstring body_;
    std::wstring body_charset_;
    // Capacity-sized and zero-filled; the first raw_body_length_ bytes are data.
    std::vector<std::uint8_t> raw_body_;
    DWORD raw_body_length_ = 0;
    std::wstring request_headers_;
    DWORD error_code_ = 0;
    std::wstring status_text_;
    std::wstring user_agent_{kDefaultUserAgent};
    sys::http::Timeouts timeouts_ = kDefaultTimeouts;
    unsigned server_port_ = kManifestServerPort;
    std::uint32_t max_body_bytes_ = kDefaultMaxBodyBytes;
};

}  // namespace rk::app
