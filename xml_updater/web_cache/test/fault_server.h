// An HTTPS server on 127.0.0.1 that answers with scripted raw bytes, for the
// answers a real server never gives: 206 without Content-Range, misaligned
// or short ranges, wrong lengths, connections dropped mid-body, more bytes
// than announced. TLS with the development certificate. Connections are
// served one at a time; each is closed after its answer.
#pragma once

#include <openssl/ssl.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace XMLUpdater::v2::web_cache::test {

struct FaultRequest {
    std::string head;  // request line and headers as received

    // First value of a header (name without case), empty when absent.
    std::string header(std::string_view name) const;
    std::string target() const;
};

struct FaultReply {
    std::string bytes;  // status line, headers and body as sent
    // Close the connection (without a TLS close_notify) after this many
    // bytes; npos sends everything and closes cleanly.
    std::size_t cut_after = std::string::npos;
};

// "HTTP/1.1 <status> X" with the given headers and "Connection: close";
// Content-Length from the body unless `headers` has one.
FaultReply make_reply(int status, const std::vector<std::pair<std::string, std::string>>& headers,
                      const std::string& body);

class FaultServer {
public:
    // `index` counts requests from 0.
    using Handler = std::function<FaultReply(const FaultRequest&, std::size_t index)>;

    explicit FaultServer(Handler handler);
    FaultServer(const FaultServer&) = delete;
    FaultServer& operator=(const FaultServer&) = delete;
    ~FaultServer();

    int port() const { return port_; }
    std::string host() const;  // "127.0.0.1:<port>"
    std::vector<FaultRequest> requests() const;

private:
    void run();
    void serve(int client);

    Handler handler_;
    std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> context_;
    int listener_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<FaultRequest> requests_;
};

}  // namespace XMLUpdater::v2::web_cache::test
