#include "tools/demo_server/demo_server.h"

#include <httplib.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <system_error>
#include <vector>

namespace rk::demo {
namespace {

std::string last_segment(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string content_type_of(const std::string& name) {
    return name.ends_with(".xml") ? "text/xml" : "application/octet-stream";
}

}  // namespace

DemoServer::DemoServer(DemoServerOptions options) : options_(std::move(options)) {}

DemoServer::~DemoServer() { Stop(); }

bool DemoServer::Start(std::string& error) {
    auto server = std::make_unique<httplib::SSLServer>(options_.cert.c_str(), options_.key.c_str());
    if (!server->is_valid()) {
        error = "cannot load the TLS certificate " + options_.cert.string() + " and key " + options_.key.string();
        return false;
    }
    server->set_tcp_nodelay(true);
    server->Get(R"(.*)", [this](const httplib::Request& request, httplib::Response& response) {
        const std::string name = last_segment(request.path);
        const std::filesystem::path file = options_.folder / name;
        std::error_code ec;
        const bool found = !name.empty() && name != "." && name != ".." && std::filesystem::is_regular_file(file, ec);
        const auto size = found ? std::filesystem::file_size(file, ec) : 0;
        if (!found || ec) {
            response.status = 404;
            response.set_content("not found\n", "text/plain");
        } else {
            response.status = 200;
            auto stream = std::make_shared<std::ifstream>(file, std::ios::binary);
            response.set_content_provider(
                static_cast<std::size_t>(size), content_type_of(name),
                [stream](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                    std::vector<char> buffer(std::min<std::size_t>(length, 256 * 1024));
                    stream->seekg(static_cast<std::streamoff>(offset));
                    stream->read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
                    const auto got = static_cast<std::size_t>(stream->gcount());
                    return got > 0 && sink.write(buffer.data(), got);
                });
        }
        ++requests_;
        if (options_.on_request) {
            options_.on_request(request.method + " " + request.path + " " + std::to_string(response.status) + " " +
                                std::to_string(size));
        }
    });
    server->set_payload_max_length(kMaxRecordBytes + 1);
    server->Post("/collect", [this](const httplib::Request& request, httplib::Response& response) {
        if (request.body.size() > kMaxRecordBytes) {
            response.status = 413;
        } else if (request.body.empty() || request.body.find_first_of("\r\n") != std::string::npos) {
            response.status = 400;
        } else {
            response.status = 204;
            const std::lock_guard lock(collect_mutex_);
            if (!options_.collect_file.empty()) {
                std::ofstream(options_.collect_file, std::ios::binary | std::ios::app) << request.body << '\n';
            }
            ++records_;
            if (options_.on_record) {
                options_.on_record(request.body);
            }
        }
        ++requests_;
        if (options_.on_request) {
            options_.on_request(request.method + " " + request.path + " " + std::to_string(response.status) + " " +
                                std::to_string(request.body.size()));
        }
    });
    const int requested = options_.port;
    if (requested == 0) {
        options_.port = server->bind_to_any_port(options_.host);
    } else if (!server->bind_to_port(options_.host, requested)) {
        options_.port = -1;
    }
    if (options_.port <= 0) {
        error = "cannot listen on " + options_.host + ":" + std::to_string(requested);
        return false;
    }
    server_ = std::move(server);
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    for (int i = 0; i < 200 && !server_->is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void DemoServer::Stop() {
    if (server_) {
        server_->stop();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace rk::demo
