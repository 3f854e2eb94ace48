#include "platform/system/http/curl_request.h"

#include <algorithm>
#include <cstring>

#include "platform/system/http/cancellation.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"

namespace rk::sys::http {
namespace {

constexpr long kMaxRedirects = 10;  // WinHTTP's default limit
constexpr int kPollSliceMs = 1000;

bool is_header_end(std::string_view line) { return line == "\r\n" || line == "\n"; }

// libcurl follows these when a Location header is present; their headers
// are not the final response.
bool is_followed_redirect(unsigned status, const ResponseHeaders& headers) {
    return status >= 300 && status < 400 && status != 304 && headers.get(kHeaderLocation).has_value();
}

}  // namespace

CurlRequest::CurlRequest(std::shared_ptr<SessionCore> core, RequestConfig config)
    : core_(std::move(core)), config_(std::move(config)), cancel_(thread_cancel_token()) {}

CurlRequest::~CurlRequest() {
    if (attached_) {
        curl_multi_remove_handle(multi_.get(), easy_.get());
    }
    easy_.reset();
    multi_.reset();
}

DWORD CurlRequest::set_security_flags(DWORD flags) {
    if (stage_ != Stage::kOpen) {
        return win::kWinHttpErrorIncorrectHandleState;
    }
    security_flags_ = flags;
    return win::kErrorSuccess;
}

void CurlRequest::set_timeouts(const Timeouts& timeouts) { config_.timeouts = timeouts; }

DWORD CurlRequest::set_credentials(DWORD scheme, std::wstring_view user, std::wstring_view password) {
    if (stage_ != Stage::kOpen) {
        return win::kWinHttpErrorIncorrectHandleState;
    }
    long auth = 0;
    switch (scheme) {
        case kAuthSchemeBasic: auth = static_cast<long>(CURLAUTH_BASIC); break;
        case kAuthSchemeDigest: auth = static_cast<long>(CURLAUTH_DIGEST); break;
        case kAuthSchemeNtlm: auth = static_cast<long>(CURLAUTH_NTLM); break;
        case kAuthSchemeNegotiate: auth = static_cast<long>(CURLAUTH_NEGOTIATE); break;
        default: return win::kErrorInvalidParameter;
    }
    auth_ = auth;
    user_ = text::wide_to_utf8(user);
    password_ = text::wide_to_utf8(password);
    return win::kErrorSuccess;
}

DWORD CurlRequest::add_headers(std::wstring_view headers, DWORD modifiers) {
    if (stage_ != Stage::kOpen) {
        return win::kWinHttpErrorIncorrectHandleState;
    }
    return headers_.add(headers, modifiers);
}

DWORD CurlRequest::fail(DWORD error) {
    if (error_ == 0) {
        error_ = error;
    }
    if (attached_) {
        curl_multi_remove_handle(multi_.get(), easy_.get());
        attached_ = false;
    }
    done_ = true;
    return error_;
}

DWORD CurlRequest::configure() {
    const auto tls = curl_tls_range(config_.secure_protocols);
    if (config_.secure && !tls) {
        return win::kWinHttpErrorSecureFailure;
    }
    multi_.reset(curl_multi_init());
    easy_.reset(curl_easy_init());
    if (!multi_ || !easy_) {
        return win::kErrorNotEnoughMemory;
    }
    CURL* e = easy_.get();
    curl_easy_setopt(e, CURLOPT_URL, config_.url.c_str());
    curl_easy_setopt(e, CURLOPT_SHARE, core_->share());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, config_.secure ? "https" : "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (!config_.user_agent.empty()) {
        curl_easy_setopt(e, CURLOPT_USERAGENT, config_.user_agent.c_str());
    }
    // An explicit empty proxy and no-proxy list keep libcurl from reading
    // the proxy variables itself; the session has already chosen.
    curl_easy_setopt(e, CURLOPT_PROXY, config_.proxy_url.c_str());
    curl_easy_setopt(e, CURLOPT_NOPROXY, "");

    const Timeouts& t = config_.timeouts;
    if (t.connect_ms > 0) {
        const long resolve = t.resolve_ms > 0 ? t.resolve_ms : 0;
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(t.connect_ms) + resolve);
    } else {
        // libcurl treats 0 as its own 300 s default.
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(INT32_MAX));
    }

    // Set for plain requests too: a redirect may lead to https.
    if (tls) {
        curl_easy_setopt(e, CURLOPT_SSLVERSION, *tls);
    }
    const bool skip_chain =
        (security_flags_ & (kSecurityFlagIgnoreUnknownCa | kSecurityFlagIgnoreCertDateInvalid)) != 0;
    const bool skip_name = (security_flags_ & kSecurityFlagIgnoreCertCnInvalid) != 0;
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, skip_chain ? 0L : 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, skip_name ? 0L : 2L);
    if (!config_.ca_file.empty()) {
        curl_easy_setopt(e, CURLOPT_CAINFO, config_.ca_file.c_str());
    }
    if (auth_ != 0) {
        curl_easy_setopt(e, CURLOPT_HTTPAUTH, auth_);
        curl_easy_setopt(e, CURLOPT_USERNAME, user_.c_str());
        curl_easy_setopt(e, CURLOPT_PASSWORD, password_.c_str());
    }

    if (config_.method == "GET") {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else if (config_.method == "HEAD") {
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    } else {
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(upload_.size()));
        curl_easy_setopt(e, CURLOPT_READFUNCTION, &CurlRequest::on_read);
        curl_easy_setopt(e, CURLOPT_READDATA, this);
        if (config_.method != "POST") {
            curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, config_.method.c_str());
        }
    }

    curl_slist* list = nullptr;
    auto append = [&list](const std::string& line) {
        curl_slist* grown = curl_slist_append(list, line.c_str());
        if (grown != nullptr) {
            list = grown;
        }
        return grown != nullptr;
    };
    bool ok = true;
    for (const auto& [name, value] : headers_.entries()) {
        // "Name;" is libcurl's way to send a header with an empty value.
        ok = ok && append(text::wide_to_utf8(name) + (value.empty() ? ";" : ": " + text::wide_to_utf8(value)));
    }
    // Headers libcurl would add on its own and WinHTTP does not send.
    if (!headers_.contains(L"Accept")) {
        ok = ok && append("Accept:");
    }
    if (!headers_.contains(L"Expect")) {
        ok = ok && append("Expect:");
    }
    header_list_.reset(list);
    if (!ok) {
        return win::kErrorNotEnoughMemory;
    }
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &CurlRequest::on_header);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &CurlRequest::on_write);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    return win::kErrorSuccess;
}

bool CurlRequest::connected() const {
    curl_off_t pretransfer = 0;
    curl_easy_getinfo(easy_.get(), CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
    return pretransfer > 0;
}

int CurlRequest::phase_limit_ms() const {
    if (header_started_) {
        return config_.timeouts.receive_ms;
    }
    if (!connected()) {
        return 0;  // libcurl's connect timeout covers this phase
    }
    return upload_done_ ? config_.timeouts.receive_ms : config_.timeouts.send_ms;
}

template <typename Ready>
DWORD CurlRequest::drive(Ready ready) {
    last_activity_ = Clock::now();
    while (true) {
        // What arrived before a failure is still handed out; the failure
        // shows once the caller asks for more.
        if (ready()) {
            return win::kErrorSuccess;
        }
        if (error_ != 0) {
            return error_;
        }
        if (done_) {
            return win::kErrorSuccess;
        }
        if (cancel_ && cancel_->cancelled()) {
            fail(win::kWinHttpErrorOperationCancelled);
            continue;
        }
        int running = 0;
        if (curl_multi_perform(multi_.get(), &running) != CURLM_OK) {
            fail(win::kWinHttpErrorInternalError);
            continue;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_.get(), &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy_.get()) {
                done_ = true;
                result_ = message->data.result;
            }
        }
        if (done_) {
            if (result_ != CURLE_OK) {
                DWORD error = winhttp_error_from_curl(result_);
                if (result_ == CURLE_UNSUPPORTED_PROTOCOL && redirected_) {
                    error = win::kWinHttpErrorRedirectFailed;  // https to http, or another scheme
                }
                fail(error);
            }
            continue;
        }
        if (ready()) {
            return win::kErrorSuccess;
        }
        int wait_ms = cancel_ ? kCancelLatencyMs : kPollSliceMs;
        if (const int limit = phase_limit_ms(); limit > 0) {
            const auto idle =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - last_activity_).count();
            if (idle >= limit) {
                fail(win::kWinHttpErrorTimeout);
                continue;
            }
            wait_ms = static_cast<int>(std::min<long long>(wait_ms, limit - idle));
        }
        if (curl_multi_poll(multi_.get(), nullptr, 0, wait_ms, nullptr) != CURLM_OK) {
            fail(win::kWinHttpErrorInternalError);
        }
    }
}

DWORD CurlRequest::send(std::span<const std::uint8_t> body) {
    if (error_ != 0) {
        return error_;
    }
    if (stage_ != Stage::kOpen) {
        return win::kWinHttpErrorIncorrectHandleState;
    }
    if (!body.empty() && (config_.method == "GET" || config_.method == "HEAD")) {
        return win::kErrorInvalidParameter;
    }
    upload_.assign(body.begin(), body.end());
    upload_done_ = upload_.empty();
    if (const DWORD error = configure(); error != 0) {
        return fail(error);
    }
    if (curl_multi_add_handle(multi_.get(), easy_.get()) != CURLM_OK) {
        return fail(win::kWinHttpErrorInternalError);
    }
    attached_ = true;
    stage_ = Stage::kSent;
    return drive([this] { return header_started_ || (upload_done_ && connected()); });
}

DWORD CurlRequest::receive_response() {
    if (stage_ != Stage::kSent) {
        return win::kWinHttpErrorIncorrectHandleState;
    }
    if (const DWORD error = drive([this] { return headers_final_; }); error != 0) {
        return error;
    }
    if (!response_) {
        return fail(win::kWinHttpErrorInvalidServerResponse);
    }
    stage_ = Stage::kReceived;
    return win::kErrorSuccess;
}

DWORD CurlRequest::status_code() const { return response_ ? response_->status_code() : 0; }

std::wstring CurlRequest::status_text() const { return response_ ? response_->reason() : std::wstring(); }

std::wstring CurlRequest::raw_headers() const { return response_ ? response_->raw() : std::wstring(); }

std::optional<std::wstring> CurlRequest::header(std::wstring_view name, std::size_t index) const {
    return response_ ? response_->get(name, index) : std::nullopt;
}

std::optional<std::uint64_t> CurlRequest::content_length() const {
    return response_ ? response_->content_length() : std::nullopt;
}

void CurlRequest::consume(std::size_t count) {
    buffer_pos_ += count;
    if (buffer_pos_ == buffer_.size()) {
        buffer_.clear();
        buffer_pos_ = 0;
    }
    if (paused_ && buffered() < config_.body_buffer_limit) {
        paused_ = false;
        curl_easy_pause(easy_.get(), CURLPAUSE_CONT);
    }
}

DWORD CurlRequest::query_data_available(std::size_t& available) {
    available = 0;
    if (stage_ != Stage::kReceived) {
        return error_ != 0 ? error_ : win::kWinHttpErrorIncorrectHandleState;
    }
    if (buffered() == 0) {
        if (const DWORD error = drive([this] { return buffered() > 0; }); error != 0) {
            return error;
        }
    }
    available = buffered();
    return win::kErrorSuccess;
}

DWORD CurlRequest::read_data(std::span<std::uint8_t> buffer, std::size_t& read) {
    read = 0;
    std::size_t available = 0;
    if (const DWORD error = query_data_available(available); error != 0) {
        return error;
    }
    read = std::min(available, buffer.size());
    if (read > 0) {
        std::memcpy(buffer.data(), buffer_.data() + buffer_pos_, read);
        consume(read);
    }
    return win::kErrorSuccess;
}

DWORD CurlRequest::read_body(const BodySink& sink) {
    if (stage_ != Stage::kReceived) {
        return error_ != 0 ? error_ : win::kWinHttpErrorIncorrectHandleState;
    }
    // Hand over what is buffered before resuming a paused transfer, which
    // delivers the next bytes straight into the sink.
    if (buffered() > 0) {
        std::vector<std::uint8_t> held;
        held.swap(buffer_);
        const std::size_t start = buffer_pos_;
        buffer_pos_ = 0;
        if (!sink(std::span<const std::uint8_t>(held.data() + start, held.size() - start))) {
            return fail(win::kWinHttpErrorOperationCancelled);
        }
    }
    sink_ = &sink;
    if (paused_) {
        paused_ = false;
        curl_easy_pause(easy_.get(), CURLPAUSE_CONT);
    }
    const DWORD error = drive([] { return false; });
    sink_ = nullptr;
    return error;
}

std::size_t CurlRequest::on_header(char* data, std::size_t size, std::size_t count, void* self) {
    auto* request = static_cast<CurlRequest*>(self);
    const std::size_t length = size * count;
    const std::string_view line(data, length);
    request->last_activity_ = Clock::now();
    request->header_started_ = true;
    if (line.starts_with("HTTP/")) {
        request->header_block_.clear();
        request->headers_final_ = false;
    }
    request->header_block_.append(line);
    if (is_header_end(line)) {
        auto parsed = ResponseHeaders::parse(request->header_block_);
        request->header_block_.clear();
        if (parsed && parsed->status_code() >= 200) {
            if (is_followed_redirect(parsed->status_code(), *parsed)) {
                request->redirected_ = true;
            } else {
                request->response_ = std::move(parsed);
                request->headers_final_ = true;
            }
        }
    }
    return length;
}

std::size_t CurlRequest::on_write(char* data, std::size_t size, std::size_t count, void* self) {
    auto* request = static_cast<CurlRequest*>(self);
    const std::size_t length = size * count;
    request->last_activity_ = Clock::now();
    if (request->sink_ != nullptr) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
        return (*request->sink_)(std::span<const std::uint8_t>(bytes, length)) ? length : CURL_WRITEFUNC_ERROR;
    }
    if (request->buffered() >= request->config_.body_buffer_limit) {
        request->paused_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    request->buffer_.insert(request->buffer_.end(), data, data + length);
    return length;
}

std::size_t CurlRequest::on_read(char* data, std::size_t size, std::size_t count, void* self) {
    auto* request = static_cast<CurlRequest*>(self);
    const std::size_t length = std::min(size * count, request->upload_.size() - request->upload_pos_);
    std::memcpy(data, request->upload_.data() + request->upload_pos_, length);
    request->upload_pos_ += length;
    request->last_activity_ = Clock::now();
    if (request->upload_pos_ == request->upload_.size()) {
        request->upload_done_ = true;
    }
    return length;
}

}  // namespace rk::sys::http
