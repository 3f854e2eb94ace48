#include "xml_updater/web_cache/test/nginx_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/system/http/test/test_server.h"

extern char** environ;

namespace XMLUpdater::v2::web_cache::test {
namespace {

namespace fs = std::filesystem;

int free_port() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    socklen_t length = sizeof(address);
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return port;
}

bool accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    const bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return ok;
}

std::string read_text(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string config(const fs::path& prefix, int port, std::uint64_t slow_rate) {
    const std::string p = prefix.string();
    std::ostringstream c;
    c << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
      << "pid " << p << "/logs/nginx.pid;\nerror_log " << p << "/logs/error.log warn;\n"
      << "events { worker_connections 64; }\n"
      << "http {\n"
      << "  log_format rk escape=none '$request_method|$uri|$status|$body_bytes_sent|$http_range|$http_if_range|"
         "$http_if_none_match|$http_if_modified_since';\n"
      << "  access_log " << p << "/logs/access.log rk;\n"
      << "  client_body_temp_path " << p << "/tmp/body;\n  proxy_temp_path " << p << "/tmp/proxy;\n"
      << "  fastcgi_temp_path " << p << "/tmp/fastcgi;\n  uwsgi_temp_path " << p << "/tmp/uwsgi;\n"
      << "  scgi_temp_path " << p << "/tmp/scgi;\n"
      << "  default_type application/octet-stream;\n  sendfile on;\n  keepalive_requests 1000;\n"
      << "  server {\n"
      << "    listen 127.0.0.1:" << port << " ssl;\n"
      << "    ssl_certificate " << rk::sys::http::test::dev_key_path("tls.crt").string() << ";\n"
      << "    ssl_certificate_key " << rk::sys::http::test::dev_key_path("tls.key.pem").string() << ";\n"
      << "    root " << p << "/html;\n"
      << "    location /slow/ { limit_rate " << slow_rate << "; }\n"
      << "    location /weak/ { etag off; add_header ETag 'W/\"weak-1\"' always; }\n"
      << "  }\n}\n";
    return c.str();
}

}  // namespace

fs::path find_nginx() {
    if (const char* path = ::getenv("PATH")) {
        std::stringstream list(path);
        for (std::string dir; std::getline(list, dir, ':');) {
            if (!dir.empty() && ::access((fs::path(dir) / "nginx").c_str(), X_OK) == 0) {
                return fs::path(dir) / "nginx";
            }
        }
    }
    for (const char* candidate : {"/usr/sbin/nginx", "/usr/local/sbin/nginx"}) {
        if (::access(candidate, X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

NginxServer::NginxServer(std::uint64_t slow_rate) {
    std::string pattern = (fs::temp_directory_path() / "rk-nginx-XXXXXX").native();
    if (::mkdtemp(pattern.data()) == nullptr) {
        why_ = "cannot create a temporary folder";
        return;
    }
    prefix_ = pattern;
    docroot_ = prefix_ / "html";
    for (const char* dir : {"html", "logs", "conf", "tmp"}) {
        fs::create_directories(prefix_ / dir);
    }
    for (int attempt = 0; attempt < 5 && pid_ <= 0; ++attempt) {
        if (!start(slow_rate)) {
            break;
        }
    }
}

bool NginxServer::start(std::uint64_t slow_rate) {
    const fs::path nginx = find_nginx();
    if (nginx.empty()) {
        why_ = "nginx is not installed (scripts/setup.sh installs it)";
        return false;
    }
    port_ = free_port();
    const fs::path conf = prefix_ / "conf" / "nginx.conf";
    std::ofstream(conf) << config(prefix_, port_, slow_rate);
    const std::string prefix_arg = prefix_.string() + "/";
    const std::string error_log = (prefix_ / "logs" / "error.log").string();
    std::vector<std::string> args = {nginx.string(), "-p", prefix_arg, "-c", conf.string(), "-e", error_log};
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        why_ = "cannot start nginx";
        return false;
    }
    for (int i = 0; i < 500; ++i) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            why_ = "nginx exited: " + read_text(error_log);
            return true;  // another port may help
        }
        if (accepts(port_)) {
            pid_ = pid;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    why_ = "nginx did not start listening";
    return false;
}

NginxServer::~NginxServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ec;
    if (!prefix_.empty()) {
        fs::remove_all(prefix_, ec);
    }
}

std::string NginxServer::host() const { return "127.0.0.1:" + std::to_string(port_); }

std::string NginxServer::url(std::string_view path) const { return "https://" + host() + std::string(path); }

void NginxServer::put(std::string_view path, const std::string& body, int age_seconds) const {
    const fs::path file = docroot_ / fs::path(std::string(path)).relative_path();
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << body;
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::seconds(age_seconds));
}

std::vector<AccessEntry> NginxServer::access_log() const {
    std::vector<AccessEntry> entries;
    std::ifstream in(prefix_ / "logs" / "access.log");
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, '|');) {
            fields.push_back(field == "-" ? std::string() : field);
        }
        fields.resize(8);
        AccessEntry entry{fields[0], fields[1], std::atoi(fields[2].c_str()),
                          std::strtoull(fields[3].c_str(), nullptr, 10), fields[4], fields[5], fields[6], fields[7]};
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace XMLUpdater::v2::web_cache::test
