#include "xml_updater/web_cache/test/fault_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "platform/system/http/test/test_server.h"

namespace XMLUpdater::v2::web_cache::test {
namespace {

int bind_loopback(int backlog, int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    socklen_t length = sizeof(address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        (backlog > 0 && ::listen(fd, backlog) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

bool iequal(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::string FaultRequest::header(std::string_view name) const {
    std::size_t pos = head.find("\r\n");
    while (pos != std::string::npos && pos + 2 < head.size()) {
        const std::size_t start = pos + 2;
        const std::size_t end = head.find("\r\n", start);
        const std::string_view line(head.data() + start, (end == std::string::npos ? head.size() : end) - start);
        const auto colon = line.find(':');
        if (colon != std::string_view::npos && iequal(line.substr(0, colon), name)) {
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && value.front() == ' ') {
                value.remove_prefix(1);
            }
            return std::string(value);
        }
        pos = end;
    }
    return {};
}

std::string FaultRequest::target() const {
    const auto first = head.find(' ');
    const auto second = head.find(' ', first + 1);
    return first == std::string::npos ? std::string() : head.substr(first + 1, second - first - 1);
}

FaultReply make_reply(int status, const std::vector<std::pair<std::string, std::string>>& headers,
                      const std::string& body) {
    std::string bytes = "HTTP/1.1 " + std::to_string(status) + " X\r\n";
    bool has_length = false;
    for (const auto& [name, value] : headers) {
        bytes += name + ": " + value + "\r\n";
        has_length = has_length || iequal(name, "Content-Length");
    }
    if (!has_length) {
        bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    bytes += "Connection: close\r\n\r\n" + body;
    return {std::move(bytes)};
}

FaultServer::FaultServer(Handler handler) : handler_(std::move(handler)), context_(nullptr, &SSL_CTX_free) {
    // A client may close while the server still writes (more bytes than
    // announced): SSL_write then must fail, not kill the test with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    context_.reset(SSL_CTX_new(TLS_server_method()));
    const auto cert = rk::sys::http::test::dev_key_path("tls.crt");
    const auto key = rk::sys::http::test::dev_key_path("tls.key.pem");
    if (!context_ || SSL_CTX_use_certificate_chain_file(context_.get(), cert.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context_.get(), key.c_str(), SSL_FILETYPE_PEM) != 1) {
        return;
    }
    listener_ = bind_loopback(16, port_);
    if (listener_ < 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
        port_ = 0;
        return;
    }
    thread_ = std::thread([this] { run(); });
}

FaultServer::~FaultServer() {
    if (thread_.joinable()) {
        const char byte = 0;
        [[maybe_unused]] const auto written = ::write(wake_[1], &byte, 1);
        thread_.join();
    }
    for (const int fd : {listener_, wake_[0], wake_[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

std::string FaultServer::host() const { return "127.0.0.1:" + std::to_string(port_); }

std::vector<FaultRequest> FaultServer::requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

void FaultServer::run() {
    while (true) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) {
            return;
        }
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            serve(client);
            ::close(client);
        }
    }
}

void FaultServer::serve(int client) {
    std::unique_ptr<SSL, void (*)(SSL*)> ssl(SSL_new(context_.get()), &SSL_free);
    timeval timeout{5, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    if (!ssl || SSL_set_fd(ssl.get(), client) != 1 || SSL_accept(ssl.get()) != 1) {
        return;
    }
    FaultRequest request;
    char buffer[4096];
    while (request.head.find("\r\n\r\n") == std::string::npos && request.head.size() < 65536) {
        const int n = SSL_read(ssl.get(), buffer, sizeof(buffer));
        if (n <= 0) {
            return;
        }
        request.head.append(buffer, static_cast<std::size_t>(n));
    }
    std::size_t index = 0;
    {
        const std::lock_guard lock(mutex_);
        index = requests_.size();
        requests_.push_back(request);
    }
    const FaultReply reply = handler_(request, index);
    const std::size_t count = std::min(reply.cut_after, reply.bytes.size());
    std::size_t sent = 0;
    while (sent < count) {
        const int piece = static_cast<int>(std::min<std::size_t>(count - sent, 16384));
        const int n = SSL_write(ssl.get(), reply.bytes.data() + sent, piece);
        if (n <= 0) {
            return;
        }
        sent += static_cast<std::size_t>(n);
    }
    if (reply.cut_after == std::string::npos) {
        SSL_shutdown(ssl.get());
    }
    ::shutdown(client, SHUT_RDWR);
}

}  // namespace XMLUpdater::v2::web_cache::test
