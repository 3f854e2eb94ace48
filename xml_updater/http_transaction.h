// One HTTP(S) transaction of the document and file downloads over the
// platform HTTP capability (WinHTTP's shape): session, connection and
// request, each opened once and released by the destructor. Operations
// return false on failure with the WinHTTP error in LastError().
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/errors/win_error.h"
#include "platform/system/http/http_session.h"
#include "xml_updater/proxy_settings.h"

namespace XMLUpdater::v2::NHttp {

// The user agent of both download paths.
inline constexpr wchar_t kAgent[] = L"SA";

// Trust anchors (PEM file) for the engine's HTTPS sessions; empty (the
// default) uses the system store. Process-wide; for tests and the operator
// tool, which talk to servers of the development certificate authority.
void SetTrustAnchors(const std::filesystem::path& ca_file);
std::filesystem::path TrustAnchors();

class CHttpTransaction {
public:
    CHttpTransaction() = default;
    CHttpTransaction(const CHttpTransaction&) = delete;
    CHttpTransaction& operator=(const CHttpTransaction&) = delete;
    ~CHttpTransaction() = default;

    // Named proxy (the settings' lists) when settings are given and
    // `ignore_proxy` is false; else no proxy when `ignore_proxy`, else the
    // current user's configuration. `flags` is reserved (WinHttpOpen flags).
    bool Open(const wchar_t* agent, const ProxySettings* proxy, rk::DWORD flags, bool ignore_proxy);
    bool Connect(const std::wstring& host, unsigned port, const ProxySettings* proxy);
    bool OpenRequest(const wchar_t* verb, const std::wstring& path, bool secure);
    bool AddRequestHeaders(const std::wstring& headers, rk::DWORD modifiers);
    bool SendRequest();
    bool ReceiveResponse();
    bool QueryStatusCode(int& status);
    // The Content-Length header; false when absent or above INT32_MAX (the
    // length messages print it with %d).
    bool QueryContentLength(std::uint32_t& length);
    // 0 bytes read with true is the end of the body.
    bool ReadData(void* buffer, std::size_t size, std::size_t& read);
    // The rest of the body, piece by piece as the transport delivers it
    // (no copy through the request's buffer). `sink` returns false to stop;
    // the read then fails with ERROR_WINHTTP_OPERATION_CANCELLED.
    bool ReadBody(const rk::sys::http::BodySink& sink);

    rk::DWORD LastError() const { return last_error_; }

private:
    bool fail(rk::DWORD error);

    std::unique_ptr<rk::sys::http::HttpSession> session_;
    std::unique_ptr<rk::sys::http::HttpConnection> connection_;
    std::unique_ptr<rk::sys::http::HttpRequest> request_;
    rk::DWORD last_error_ = 0;
};

}  // namespace XMLUpdater::v2::NHttp
