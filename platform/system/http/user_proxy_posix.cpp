#include "platform/system/http/user_proxy.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

namespace rk::sys::http {
namespace {

constexpr char kSessionVariable[] = "XDG_SESSION_ID";

std::map<std::string, std::string> read_environ(const std::filesystem::path& file) {
    std::map<std::string, std::string> values;
    std::ifstream in(file, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = data.find('\0', start);
        if (end == std::string::npos) {
            end = data.size();
        }
        const std::string entry = data.substr(start, end - start);
        const auto equals = entry.find('=');
        if (equals != std::string::npos) {
            values.emplace(entry.substr(0, equals), entry.substr(equals + 1));
        }
        start = end + 1;
    }
    return values;
}

}  // namespace

std::optional<bool> RunsAsService(std::string& /*error*/) {
    return ::geteuid() == 0 && std::getenv(kSessionVariable) == nullptr;
}

EnvironmentReader LoggedOnUserEnvironment(std::string& error) {
    std::error_code ec;
    std::set<long> pids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        char* end = nullptr;
        const std::string name = entry.path().filename().string();
        const long pid = std::strtol(name.c_str(), &end, 10);
        if (end != nullptr && *end == '\0' && pid > 0) {
            pids.insert(pid);
        }
    }
    if (ec) {
        error = std::strerror(ec.value());
        return nullptr;
    }
    bool user_process = false;
    for (const long pid : pids) {
        const std::filesystem::path dir = std::filesystem::path("/proc") / std::to_string(pid);
        struct stat info {};
        if (::stat(dir.c_str(), &info) != 0 || info.st_uid == 0) {
            continue;
        }
        user_process = true;
        auto environment = read_environ(dir / "environ");
        if (environment.contains(kSessionVariable)) {
            return [environment = std::move(environment)](const std::string& name) -> std::optional<std::string> {
                const auto it = environment.find(name);
                if (it == environment.end()) {
                    return std::nullopt;
                }
                return it->second;
            };
        }
    }
    error = user_process ? kImpersonationNoProcess : kImpersonationNoSession;
    return nullptr;
}

}  // namespace rk::sys::http
