#include "platform/system/http/user_proxy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string_view>

#include "platform/system/fd_posix.h"

namespace rk::sys::http {
namespace {

constexpr char kSessionVariable[] = "XDG_SESSION_ID";

// The kernel allows at most 6 MiB of arguments and environment together; a
// larger file is not an environment and is skipped as unreadable.
constexpr std::size_t kMaxEnvironBytes = 8 * 1024 * 1024;

std::map<std::string, std::string> read_environ(const std::filesystem::path& file) {
    std::map<std::string, std::string> values;
    const Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    std::string data;
    if (fd.get() < 0 || read_bounded(fd.get(), data, kMaxEnvironBytes) != 0) {
        return values;
    }
    std::string_view rest = data;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\0'), rest.size());
        const std::string_view entry = rest.substr(0, end);
        if (const auto equals = entry.find('='); equals != std::string_view::npos) {
            values.emplace(entry.substr(0, equals), entry.substr(equals + 1));
        }
        rest.remove_prefix(std::min(end + 1, rest.size()));
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
