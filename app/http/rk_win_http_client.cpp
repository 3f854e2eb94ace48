#include "app/http/rk_win_http_client.h"

#include <algorithm>
#include <array>
#include <optional>

#include "platform/logging/process_logger.h"
#include "platform/system/http/http_connection.h"
#include "platform/system/http/http_request.h"
#include "platform/system/http/url_parts.h"
#include "platform/text/ansi_code_page.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"

namespace rk::app {
namespace {

constexpr wchar_t kFile[] = L"rk_win_http_client.cpp";

std::optional<std::wstring_view> canonical_method(std::wstring_view method) {
    for (const std::wstring_view known : {kMethodGet, kMethodPost, kMethodPatch}) {
        if (text::iequals(method, known)) {
            return known;
        }
    }
    return std::nullopt;
}

void log_progress(const wchar_t* function, int line, const wchar_t* format, long value) {
    if (IsLogLevelEnabled(log_level::kProgress)) {
        LogMessage(log_level::kProgress, kFile, function, line, format, value);
    }
}

// The text up to the first NUL, as a zero-terminated conversion result reads.
std::wstring up_to_nul(std::wstring text) {
    if (const auto nul = text.find(L'\0'); nul != std::wstring::npos) {
        text.resize(nul);
    }
    return text;
}

}  // namespace

RkWinHttpClient::RkWinHttpClient() = default;
RkWinHttpClient::~RkWinHttpClient() = default;

bool RkWinHttpClient::OpenSession() {
    if (session_) {
        return true;
    }
    sys::http::SessionOptions options;
    options.user_agent = user_agent_;
    options.proxy.access = sys::http::AccessType::kDefaultProxy;
    options.timeouts = timeouts_;
    DWORD error = 0;
    session_ = sys::http::open_http_session(options, error);
    if (!session_) {
        error_code_ = error != 0 ? error : win::kErrorNotEnoughMemory;
        return false;
    }
    return true;
}

void RkWinHttpClient::ReleaseSession() {
    session_.reset();
    std::wstring().swap(response_headers_);
    std::wstring().swap(body_);
    std::vector<std::uint8_t>().swap(raw_body_);
    raw_body_length_ = 0;
}

void RkWinHttpClient::SetHttpSecureProtocol() {
    const DWORD error = session_->set_secure_protocols(sys::http::kSecureProtocolsSsl3ToTls1_2);
    if (error == 0) {
        if (IsLogLevelEnabled(log_level::kProgress)) {
            LogMessage(log_level::kProgress, kFile, L"RkWinHttpClient::SetHttpSecureProtocol", __LINE__,
                       L"WinHttpSetOption Succeeded");
        }
    } else {
        log_progress(L"RkWinHttpClient::SetHttpSecureProtocol", __LINE__,
                     L"Failed In WinHttpSetOption for WINHTTP_OPTION_SECURE_PROTOCOLS with error %ld",
                     static_cast<long>(error));
    }
}

bool RkWinHttpClient::SendHttpRequest(const std::wstring& method) {
    // A failed request never shows the previous response.
    response_headers_.clear();
    status_text_.clear();
    body_.clear();

    if (url_.empty()) {
        error_code_ = win::kErrorPathNotFound;
        return false;
    }
    const auto verb = canonical_method(method);
    if (!verb) {
        error_code_ = win::kErrorInvalidParameter;
        return false;
    }
    if (!OpenSession()) {
        return false;
    }
    session_->set_timeouts(timeouts_);
    SetHttpSecureProtocol();

    sys::http::UrlParts parts;
    if (const DWORD error = sys::http::crack_url(url_, parts); error != 0) {
        error_code_ = error;
        return false;
    }
    DWORD error = 0;
    const unsigned port = server_port_ == kPortFromUrl ? parts.port : server_port_;
    auto connection = session_->connect(parts.host, port, error);
    if (!connection) {
        error_code_ = error;
        return false;
    }
    const bool secure = parts.secure();
    auto request = connection->open_request(*verb, parts.request_target(), secure, error);
    if (!request) {
        error_code_ = error;
        return false;
    }
    if (secure && !strict_certificates_) {
        request->set_security_flags(sys::http::kSecurityFlagsIgnoreCertErrors);
    }
    if (!request_headers_.empty()) {
        if (const DWORD header_error =
                request->add_headers(request_headers_, sys::http::kAddReqFlagCoalesceWithSemicolon);
            header_error != 0) {
            error_code_ = header_error;
        }
        request_headers_.clear();
    }
    // No request body is ever written.
    if (request->send() != 0) {
        error_code_ = kSendFailedError;
        log_progress(L"RkWinHttpClient::SendHttpRequest", __LINE__, L"Failed in WinHttpSendRequest with error %ld",
                     static_cast<long>(error_code_));
        return false;
    }
    if (const DWORD receive_error = request->receive_response(); receive_error != 0) {
        error_code_ = receive_error;
        log_progress(L"RkWinHttpClient::SendHttpRequest", __LINE__,
                     L"Failed in WinHttpReceiveResponse with error %ld", static_cast<long>(receive_error));
        return false;
    }
    response_headers_ = request->raw_headers();
    status_text_ = std::to_wstring(request->status_code());
    if (!ReadBody(*request)) {
        error_code_ = win::kWinHttpErrorResponseDrainOverflow;
        log_progress(L"RkWinHttpClient::SendHttpRequest", __LINE__, L"Failed in WinHttpReadData with error %ld",
                     static_cast<long>(error_code_));
        return false;
    }
    DecodeBody();
    error_code_ = 0;
    return true;
}

void RkWinHttpClient::SetMaxBodyBytes(std::uint64_t bytes) {
    max_body_bytes_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, 0xFFFFFFFEu));
}

bool RkWinHttpClient::ReadBody(sys::http::HttpRequest& request) {
    raw_body_.assign(kInitialBodyBufferSize, 0);
    raw_body_length_ = 0;
    std::vector<std::uint8_t> chunk;
    while (true) {
        std::size_t available = 0;
        if (request.query_data_available(available) != 0) {
            // The request still ends with the bytes read so far and error
            // code 0, as the client always did: a body cut short is the
            // manifest parser's to reject.
            available = 0;
        }
        if (available == 0) {
            break;
        }
        // One byte past the bound is enough to know the body is too long.
        available = std::min<std::size_t>(available, std::size_t{max_body_bytes_} - raw_body_length_ + 1);
        chunk.assign(available + 1, 0);
        std::size_t read = 0;
        if (request.read_data({chunk.data(), available}, read) != 0) {
            read = 0;
        }
        if (read > std::size_t{max_body_bytes_} - raw_body_length_) {
            std::vector<std::uint8_t>().swap(raw_body_);  // give the memory back now
            raw_body_length_ = 0;
            return false;
        }
        // The buffer always keeps room for the data plus one zero byte.
        std::size_t capacity = raw_body_.size();
        while (raw_body_length_ + read + 1 > capacity) {
            capacity *= 2;
        }
        if (capacity != raw_body_.size()) {
            raw_body_.resize(capacity, 0);
        }
        std::copy_n(chunk.begin(), read, raw_body_.begin() + raw_body_length_);
        raw_body_length_ += static_cast<DWORD>(read);
    }
    return true;
}

void RkWinHttpClient::DecodeBody() {
    const std::span<const std::uint8_t> data(raw_body_.data(), raw_body_length_);
    if (text::istarts_with(body_charset_, kUtf8Charset)) {
        body_ = up_to_nul(text::utf8_to_wide(std::string_view(reinterpret_cast<const char*>(data.data()), data.size())));
    } else {
        body_ = up_to_nul(text::ansi_to_wide(data));
    }
}

}  // namespace rk::app
