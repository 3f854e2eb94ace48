#include "platform/system/http/test/test_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <optional>

#include "platform/text/utf.h"

namespace rk::sys::http::test {
namespace {

constexpr char kLoopback[] = "127.0.0.1";
constexpr std::size_t kProviderChunk = 64 * 1024;

int bound_port(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof(address);
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

// A TCP socket listening on 127.0.0.1 at an ephemeral port.
int make_listener(int backlog) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    ::inet_pton(AF_INET, kLoopback, &address.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(fd, backlog) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Streams a shared body from `offset`, `length` bytes, in chunks.
httplib::ContentProvider body_provider(std::shared_ptr<const std::string> body, std::size_t base) {
    return [body, base](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        const std::size_t count = std::min(length, kProviderChunk);
        return sink.write(body->data() + base + offset, count);
    };
}

struct ByteRange {
    std::size_t first;
    std::size_t last;
};

// "bytes=a-b", "bytes=a-", "bytes=-n" against a body of `size` bytes.
// nullopt: not satisfiable or not understood.
std::optional<ByteRange> parse_range(const std::string& value, std::size_t size) {
    constexpr std::string_view kPrefix = "bytes=";
    if (value.rfind(kPrefix, 0) != 0 || value.find(',') != std::string::npos) {
        return std::nullopt;
    }
    const std::string_view spec = std::string_view(value).substr(kPrefix.size());
    const auto dash = spec.find('-');
    if (dash == std::string_view::npos) {
        return std::nullopt;
    }
    auto number = [](std::string_view text, std::size_t& out) {
        const auto result = std::from_chars(text.data(), text.data() + text.size(), out);
        return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
    };
    std::size_t first = 0;
    std::size_t last = 0;
    if (dash == 0) {
        std::size_t suffix = 0;
        if (!number(spec.substr(1), suffix) || suffix == 0 || size == 0) {
            return std::nullopt;
        }
        first = suffix >= size ? 0 : size - suffix;
        return ByteRange{first, size - 1};
    }
    if (!number(spec.substr(0, dash), first)) {
        return std::nullopt;
    }
    if (dash + 1 == spec.size()) {
        last = size == 0 ? 0 : size - 1;
    } else if (!number(spec.substr(dash + 1), last)) {
        return std::nullopt;
    }
    if (first >= size || last < first) {
        return std::nullopt;
    }
    return ByteRange{first, std::min(last, size - 1)};
}

}  // namespace

std::filesystem::path dev_key_path(std::string_view name) {
    return std::filesystem::path(RK_DEV_KEYS_DIR) / name;
}

std::filesystem::path dev_root_ca() { return dev_key_path("root.crt"); }

std::string LoggedRequest::header(const std::string& name) const {
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

TestServer::TestServer(Mode mode)
    : TestServer(mode, dev_key_path("tls.crt"), dev_key_path("tls.key.pem")) {}

TestServer::TestServer(Mode mode, const std::filesystem::path& cert, const std::filesystem::path& key) {
    tls_ = mode == Mode::kTls;
    if (tls_) {
        start(std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str()));
    } else {
        start(std::make_unique<httplib::Server>());
    }
}

void TestServer::start(std::unique_ptr<httplib::Server> server) {
    server_ = std::move(server);
    if (!server_->is_valid()) {
        return;
    }
    // Without it every request waits out Nagle and delayed ACK (~44 ms).
    server_->set_tcp_nodelay(true);
    auto route = [this](const httplib::Request& request, httplib::Response& response) { dispatch(request, response); };
    const std::string any = R"(.*)";
    server_->Get(any, route);
    server_->Post(any, route);
    server_->Put(any, route);
    server_->Patch(any, route);
    server_->Delete(any, route);
    server_->Options(any, route);
    const int port = server_->bind_to_any_port(kLoopback);
    if (port <= 0) {
        return;
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    port_ = port;
}

TestServer::~TestServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_signal_.notify_all();
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
    }
}

std::string TestServer::url(std::string_view target) const {
    return std::string(tls_ ? "https" : "http") + "://" + kLoopback + ":" + std::to_string(port_) +
           std::string(target);
}

std::wstring TestServer::wide_url(std::string_view target) const { return text::utf8_to_wide(url(target)); }

void TestServer::handle(const std::string& method, const std::string& path, Handler handler) {
    std::lock_guard lock(mutex_);
    handlers_[{method, path}] = std::move(handler);
}

void TestServer::serve(const std::string& path, std::string body, std::string content_type) {
    auto shared = std::make_shared<const std::string>(std::move(body));
    handle("GET", path, [shared, content_type](const httplib::Request&, httplib::Response& response) {
        if (shared->empty()) {
            response.set_content("", content_type);  // a provider of 0 bytes is never finished
        } else {
            response.set_content_provider(shared->size(), content_type, body_provider(shared, 0));
        }
    });
}

void TestServer::serve(const std::string& path, Resource resource) {
    auto shared = std::make_shared<const Resource>(std::move(resource));
    auto body = std::shared_ptr<const std::string>(shared, &shared->body);
    handle("GET", path, [shared, body](const httplib::Request& request, httplib::Response& response) {
        const Resource& r = *shared;
        if (!r.etag.empty()) {
            response.set_header("ETag", r.etag);
        }
        if (!r.last_modified.empty()) {
            response.set_header("Last-Modified", r.last_modified);
        }
        response.set_header("Accept-Ranges", r.accept_ranges ? "bytes" : "none");
        const std::string if_none_match = request.get_header_value("If-None-Match");
        const std::string if_modified_since = request.get_header_value("If-Modified-Since");
        if ((!r.etag.empty() && if_none_match == r.etag) ||
            (if_none_match.empty() && !r.last_modified.empty() && if_modified_since == r.last_modified)) {
            response.status = 304;
            return;
        }
        const std::string range = request.get_header_value("Range");
        const std::string if_range = request.get_header_value("If-Range");
        const bool validator_matches = if_range.empty() || if_range == r.etag || if_range == r.last_modified;
        if (r.accept_ranges && !range.empty() && validator_matches) {
            const auto parsed = parse_range(range, body->size());
            if (!parsed) {
                response.status = 416;
                response.set_header("Content-Range", "bytes */" + std::to_string(body->size()));
                return;
            }
            const std::size_t length = parsed->last - parsed->first + 1;
            response.status = 206;
            response.set_header("Content-Range", "bytes " + std::to_string(parsed->first) + "-" +
                                                     std::to_string(parsed->last) + "/" +
                                                     std::to_string(body->size()));
            response.set_content_provider(length, r.content_type, body_provider(body, parsed->first));
            return;
        }
        if (body->empty()) {
            response.set_content("", r.content_type);
        } else {
            response.set_content_provider(body->size(), r.content_type, body_provider(body, 0));
        }
    });
}

void TestServer::dispatch(const httplib::Request& request, httplib::Response& response) {
    // httplib would cut the body again after the handler ran (even a 206 it
    // built itself); handlers deal with Range on their own.
    const_cast<httplib::Request&>(request).ranges.clear();

    LoggedRequest entry;
    entry.method = request.method;
    entry.target = request.target;
    entry.path = request.path;
    entry.headers = request.headers;
    entry.body = request.body;
    entry.remote_port = request.remote_port;
    if (request.ssl != nullptr) {
        entry.tls_version = SSL_get_version(request.ssl);
    }
    const std::string method = request.method == "HEAD" ? "GET" : request.method;
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        log_.push_back(std::move(entry));
        const auto it = handlers_.find({method, request.path});
        if (it != handlers_.end()) {
            handler = it->second;
        }
    }
    if (!handler) {
        response.status = 404;
        response.set_content("not found", "text/plain");
        return;
    }
    handler(request, response);
}

std::vector<LoggedRequest> TestServer::requests() const {
    std::lock_guard lock(mutex_);
    return log_;
}

std::size_t TestServer::request_count() const {
    std::lock_guard lock(mutex_);
    return log_.size();
}

void TestServer::clear_log() {
    std::lock_guard lock(mutex_);
    log_.clear();
}

bool TestServer::stall(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex_);
    return !stop_signal_.wait_for(lock, duration, [this] { return stopping_; });
}

// ---------------------------------------------------------------------------

RawServer::RawServer(std::string response) : response_(std::move(response)) {
    listener_ = make_listener(16);
    if (listener_ < 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
        return;
    }
    port_ = bound_port(listener_);
    thread_ = std::thread([this] { run(); });
}

RawServer::~RawServer() {
    if (thread_.joinable()) {
        const char byte = 0;
        [[maybe_unused]] const auto written = ::write(wake_[1], &byte, 1);
        thread_.join();
    }
    for (int fd : {listener_, wake_[0], wake_[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

std::string RawServer::url(std::string_view target) const {
    return std::string("http://") + kLoopback + ":" + std::to_string(port_) + std::string(target);
}

void RawServer::run() {
    while (true) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) {
            return;
        }
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos) {
            pollfd in{client, POLLIN, 0};
            if (::poll(&in, 1, 2000) <= 0) {
                break;
            }
            const auto n = ::read(client, buffer, sizeof(buffer));
            if (n <= 0) {
                break;
            }
            head.append(buffer, static_cast<std::size_t>(n));
        }
        std::size_t sent = 0;
        while (sent < response_.size()) {
            const auto n = ::send(client, response_.data() + sent, response_.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                break;
            }
            sent += static_cast<std::size_t>(n);
        }
        ::shutdown(client, SHUT_RDWR);
        ::close(client);
    }
}

// ---------------------------------------------------------------------------

SilentListener::SilentListener() {
    listener_ = make_listener(0);
    if (listener_ >= 0) {
        port_ = bound_port(listener_);
    }
}

SilentListener::~SilentListener() {
    for (int fd : fillers_) {
        ::close(fd);
    }
    if (listener_ >= 0) {
        ::close(listener_);
    }
}

std::string SilentListener::url(std::string_view scheme, std::string_view target) const {
    return std::string(scheme) + "://" + kLoopback + ":" + std::to_string(port_) + std::string(target);
}

bool SilentListener::fill_backlog() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port_));
    ::inet_pton(AF_INET, kLoopback, &address.sin_addr);
    for (int attempt = 0; attempt < 64; ++attempt) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return false;
        }
        fillers_.push_back(fd);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
            continue;
        }
        pollfd out{fd, POLLOUT, 0};
        if (::poll(&out, 1, 200) == 0) {
            return true;  // this attempt hangs: the queue is full
        }
    }
    return false;
}

int closed_port() {
    SilentListener listener;
    return listener.port();
}

}  // namespace rk::sys::http::test
