#include "platform/system/http/name_resolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "platform/system/root_prefix.h"
#include "platform/text/strings.h"

namespace rk::sys::http {
namespace {

constexpr std::size_t kResolvConfMaxBytes = 64 * 1024;
constexpr std::size_t kMaxAddresses = 16;
constexpr char kLoopback[] = "127.0.0.1";
// A documentation address (RFC 5737): connecting a UDP socket to it sends
// nothing and only asks the kernel which source address it would use.
constexpr char kProbeAddress[] = "192.0.2.1";
constexpr unsigned short kProbePort = 53;

// resolv.conf is usually a link (to the stub of systemd-resolved or
// resolvconf's file), which the seam's File never follows: a plain stream.
std::string read_bounded(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text(kResolvConfMaxBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return text;
}

class SystemNameResolver final : public NameResolver {
public:
    std::vector<std::string> resolve_ipv4(std::string_view host) const override {
        std::vector<std::string> addresses;
        if (host.empty() || host.find('\0') != std::string_view::npos) {
            return addresses;
        }
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        if (::getaddrinfo(std::string(host).c_str(), nullptr, &hints, &list) != 0) {
            return addresses;
        }
        for (const addrinfo* a = list; a != nullptr && addresses.size() < kMaxAddresses; a = a->ai_next) {
            char text[INET_ADDRSTRLEN] = {};
            const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
            if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr) {
                addresses.emplace_back(text);
            }
        }
        ::freeaddrinfo(list);
        return addresses;
    }

    std::string local_ipv4() const override {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return kLoopback;
        }
        sockaddr_in probe{};
        probe.sin_family = AF_INET;
        probe.sin_port = htons(kProbePort);
        ::inet_pton(AF_INET, kProbeAddress, &probe.sin_addr);
        sockaddr_in local{};
        socklen_t length = sizeof local;
        char text[INET_ADDRSTRLEN] = {};
        const bool found = ::connect(fd, reinterpret_cast<const sockaddr*>(&probe), sizeof probe) == 0 &&
                           ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
                           ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text) != nullptr;
        ::close(fd);
        return found ? std::string(text) : std::string(kLoopback);
    }

    std::vector<std::string> search_domains() const override {
        return search_domains_from_resolv_conf(read_bounded(under_root("/etc/resolv.conf")));
    }
};

}  // namespace

const NameResolver& system_name_resolver() {
    static const SystemNameResolver resolver;
    return resolver;
}

std::vector<std::string> search_domains_from_resolv_conf(std::string_view text, std::size_t limit) {
    std::vector<std::string> search;
    std::vector<std::string> domain;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        line = line.substr(0, line.find_first_of("#;"));
        std::vector<std::string> words;
        while (!line.empty()) {
            const auto start = line.find_first_not_of(" \t\r");
            if (start == std::string_view::npos) {
                break;
            }
            line = line.substr(start);
            const auto stop = line.find_first_of(" \t\r");
            words.emplace_back(line.substr(0, stop));
            line = stop == std::string_view::npos ? std::string_view() : line.substr(stop);
        }
        if (words.size() < 2 || (words[0] != "search" && words[0] != "domain")) {
            continue;
        }
        auto& target = words[0] == "search" ? search : domain;
        target.clear();
        for (std::size_t i = 1; i < words.size() && target.size() < limit; ++i) {
            std::string name = text::to_lower_ascii(words[i]);
            while (!name.empty() && name.back() == '.') {
                name.pop_back();
            }
            if (!name.empty()) {
                target.push_back(std::move(name));
            }
        }
    }
    return search.empty() ? domain : search;
}

}  // namespace rk::sys::http
