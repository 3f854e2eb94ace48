// A small HTTPS server for demos: serves the files of one folder on a fixed
// address, by the last segment of the request path ("/xml/lmrupdate.xml"
// serves <folder>/lmrupdate.xml, "/dl/affiliates//DEMO/setup.exe" serves
// <folder>/setup.exe), so a manifest and an installer URL of any shape reach
// their files. Anything else is 404. Files are streamed, not copied.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace rk::demo {

struct DemoServerOptions {
    std::string host = "127.0.0.1";
    int port = 8443;  // 0: any free port (see Port())
    std::filesystem::path folder;
    std::filesystem::path cert;  // PEM certificate and key; TLS always
    std::filesystem::path key;
    // Called after each answered request ("GET /path 200 1234").
    std::function<void(const std::string& line)> on_request;
    // Records received at /collect: appended here (empty: not kept) and
    // handed to on_record.
    std::filesystem::path collect_file;
    std::function<void(const std::string& record)> on_record;
};

inline constexpr std::size_t kMaxRecordBytes = 64 * 1024;

class DemoServer {
public:
    explicit DemoServer(DemoServerOptions options);
    DemoServer(const DemoServer&) = delete;
    DemoServer& operator=(const DemoServer&) = delete;
    ~DemoServer();

    // Binds and starts serving on a thread; false (with `error` set) when the
    // certificate cannot be loaded or the address is taken.
    bool Start(std::string& error);
    void Stop();
    std::size_t RequestCount() const { return requests_; }
    std::size_t RecordCount() const { return records_; }
    // The port listened on once started.
    int Port() const { return options_.port; }

private:
    DemoServerOptions options_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    std::atomic<std::size_t> requests_{0};
    std::atomic<std::size_t> records_{0};
    std::mutex collect_mutex_;
};

}  // namespace rk::demo
