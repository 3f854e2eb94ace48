// A private nginx on 127.0.0.1 for integration tests and benchmarks: a free
// port, a generated configuration, TLS with the development certificate,
// one process (no master, no daemon) stopped by the destructor. Without an
// nginx binary available() is false and why() says so (tests skip).
//
// Locations below the document root:
//   /...        static files with nginx's strong ETag, Last-Modified, ranges
//   /slow/...   the same, sent at `slow_rate` bytes per second
//   /weak/...   a weak ETag (W/"weak-1") instead of nginx's own
// The access log records every request with the headers that matter here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace XMLUpdater::v2::web_cache::test {

struct AccessEntry {
    std::string method;
    std::string uri;
    int status = 0;
    std::uint64_t body_bytes = 0;
    std::string range;
    std::string if_range;
    std::string if_none_match;
    std::string if_modified_since;
};

class NginxServer {
public:
    explicit NginxServer(std::uint64_t slow_rate = 1024 * 1024);
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;
    ~NginxServer();

    bool available() const { return pid_ > 0; }
    const std::string& why() const { return why_; }

    int port() const { return port_; }
    std::string host() const;                      // "127.0.0.1:<port>"
    std::string url(std::string_view path) const;  // "https://127.0.0.1:<port><path>"
    const std::filesystem::path& docroot() const { return docroot_; }

    // Writes a file below the document root (folders created), with a
    // modification time `age_seconds` in the past so nginx's validators
    // change when the file is rewritten later.
    void put(std::string_view path, const std::string& body, int age_seconds = 60) const;

    std::vector<AccessEntry> access_log() const;

private:
    bool start(std::uint64_t slow_rate);

    std::filesystem::path prefix_;
    std::filesystem::path docroot_;
    int port_ = 0;
    int pid_ = 0;
    std::string why_;
};

// The nginx binary (PATH, then /usr/sbin), empty when there is none.
std::filesystem::path find_nginx();

}  // namespace XMLUpdater::v2::web_cache::test
