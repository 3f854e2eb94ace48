// An in-process HTTP or HTTPS server on 127.0.0.1 for integration tests,
// over cpp-httplib. Handlers are registered per method and path at any time
// (also while the server runs); every request is logged before its handler
// runs. TLS uses the development certificate for 127.0.0.1 (issued by the
// development root, dev_root_ca()).
#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace rk::sys::http::test {

// Files of profile/dev-keys (DEVELOPMENT ONLY).
std::filesystem::path dev_key_path(std::string_view name);
std::filesystem::path dev_root_ca();

struct LoggedRequest {
    std::string method;
    std::string target;  // path and query as sent
    std::string path;    // decoded path
    httplib::Headers headers;
    std::string body;
    int remote_port = 0;
    std::string tls_version;  // "TLSv1.3", empty without TLS

    // First value of a header, empty when absent.
    std::string header(const std::string& name) const;
};

// A resource served with validators and byte ranges: If-None-Match and
// If-Modified-Since give 304, "Range: bytes=a-b" (single range, If-Range
// honoured) gives 206, an unsatisfiable range 416.
struct Resource {
    std::string body;
    std::string content_type = "application/octet-stream";
    std::string etag;           // sent when not empty
    std::string last_modified;  // sent when not empty
    bool accept_ranges = true;
};

class TestServer {
public:
    enum class Mode { kPlain, kTls };
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    explicit TestServer(Mode mode);
    TestServer(Mode mode, const std::filesystem::path& cert, const std::filesystem::path& key);
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;
    ~TestServer();

    bool running() const { return port_ > 0; }
    int port() const { return port_; }
    // "http(s)://127.0.0.1:<port>" followed by `target`.
    std::string url(std::string_view target) const;
    std::wstring wide_url(std::string_view target) const;

    // `method` "GET" also answers HEAD. An unknown path is 404.
    void handle(const std::string& method, const std::string& path, Handler handler);
    void serve(const std::string& path, std::string body, std::string content_type = "application/octet-stream");
    void serve(const std::string& path, Resource resource);

    std::vector<LoggedRequest> requests() const;
    std::size_t request_count() const;
    void clear_log();

    // Waits up to `duration` inside a handler or content provider; returns
    // false early when the server is stopping, so stalled handlers never
    // hold up the destructor.
    bool stall(std::chrono::milliseconds duration);

private:
    void start(std::unique_ptr<httplib::Server> server);
    void dispatch(const httplib::Request& request, httplib::Response& response);

    std::unique_ptr<httplib::Server> server_;
    bool tls_ = false;
    int port_ = 0;
    std::thread thread_;

    mutable std::mutex mutex_;
    std::condition_variable stop_signal_;
    bool stopping_ = false;
    std::map<std::pair<std::string, std::string>, Handler> handlers_;
    std::vector<LoggedRequest> log_;
};

// Answers every connection with fixed bytes (after reading the request
// head), then closes it: for malformed and truncated responses.
class RawServer {
public:
    explicit RawServer(std::string response);
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;
    ~RawServer();

    int port() const { return port_; }
    std::string url(std::string_view target) const;

private:
    void run();

    std::string response_;
    int listener_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

// A listening socket on 127.0.0.1 that never accepts. Connections complete
// in the kernel's queue (a TLS handshake or response never comes);
// fill_backlog() fills that queue so later connection attempts hang
// unanswered, which a connect timeout needs.
class SilentListener {
public:
    SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    ~SilentListener();

    int port() const { return port_; }
    std::string url(std::string_view scheme, std::string_view target) const;
    bool fill_backlog();

private:
    int listener_ = -1;
    int port_ = 0;
    std::vector<int> fillers_;
};

// A port on 127.0.0.1 where nothing listens (connections are refused).
int closed_port();

}  // namespace rk::sys::http::test
