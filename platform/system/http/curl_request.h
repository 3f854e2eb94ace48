// HttpRequest over a libcurl easy handle driven by a private multi handle,
// so the caller pulls the response step by step as with WinHTTP: send,
// receive the headers, read the body. The body is buffered up to a bound;
// beyond it the transfer pauses until the caller reads.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/system/http/cancellation.h"
#include "platform/system/http/curl_support.h"
#include "platform/system/http/http_request.h"
#include "platform/system/http/request_headers.h"
#include "platform/system/http/response_headers.h"
#include "platform/system/http/session_core.h"

namespace rk::sys::http {

struct RequestConfig {
    std::string url;
    std::string method;
    bool secure = false;
    std::string user_agent;
    std::string proxy_url;  // empty: direct
    Timeouts timeouts;
    DWORD secure_protocols = kSecureProtocolsDefault;
    std::filesystem::path ca_file;
    std::size_t body_buffer_limit = 1024 * 1024;
};

class CurlRequest final : public HttpRequest {
public:
    CurlRequest(std::shared_ptr<SessionCore> core, RequestConfig config);
    ~CurlRequest() override;

    DWORD set_security_flags(DWORD flags) override;
    void set_timeouts(const Timeouts& timeouts) override;
    DWORD add_headers(std::wstring_view headers, DWORD modifiers) override;
    DWORD set_credentials(DWORD scheme, std::wstring_view user, std::wstring_view password) override;
    DWORD send(std::span<const std::uint8_t> body) override;
    DWORD receive_response() override;
    DWORD status_code() const override;
    std::wstring status_text() const override;
    std::wstring raw_headers() const override;
    std::optional<std::wstring> header(std::wstring_view name, std::size_t index) const override;
    std::optional<std::uint64_t> content_length() const override;
    DWORD query_data_available(std::size_t& available) override;
    DWORD read_data(std::span<std::uint8_t> buffer, std::size_t& read) override;
    DWORD read_body(const BodySink& sink) override;

private:
    using Clock = std::chrono::steady_clock;
    enum class Stage { kOpen, kSent, kReceived };

    DWORD configure();
    DWORD fail(DWORD error);
    template <typename Ready>
    DWORD drive(Ready ready);
    bool connected() const;
    int phase_limit_ms() const;
    std::size_t buffered() const { return buffer_.size() - buffer_pos_; }
    void consume(std::size_t count);

    static std::size_t on_header(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t on_write(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t on_read(char* data, std::size_t size, std::size_t count, void* self);

    std::shared_ptr<SessionCore> core_;
    RequestConfig config_;
    RequestHeaders headers_;
    DWORD security_flags_ = 0;
    long auth_ = 0;  // CURLAUTH_* bits; 0: no credentials
    std::string user_;
    std::string password_;

    CurlMulti multi_;
    CurlEasy easy_;
    CurlSlist header_list_;
    bool attached_ = false;

    Stage stage_ = Stage::kOpen;
    DWORD error_ = 0;
    bool done_ = false;
    CURLcode result_ = CURLE_OK;
    Clock::time_point last_activity_{};

    std::vector<std::uint8_t> upload_;
    std::size_t upload_pos_ = 0;
    bool upload_done_ = true;

    std::string header_block_;
    bool header_started_ = false;
    bool headers_final_ = false;
    bool redirected_ = false;
    std::optional<ResponseHeaders> response_;

    std::vector<std::uint8_t> buffer_;
    std::size_t buffer_pos_ = 0;
    bool paused_ = false;
    const BodySink* sink_ = nullptr;
    std::shared_ptr<const CancelToken> cancel_;  // the opening thread's
};

}  // namespace rk::sys::http
