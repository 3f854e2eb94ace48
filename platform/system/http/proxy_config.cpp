#include "platform/system/http/proxy_config.h"

#include <cstdlib>
#include <vector>

#include "platform/system/http/http_types.h"
#include "platform/text/numeric.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"

namespace rk::sys::http {
namespace {

constexpr std::wstring_view kLocalPattern = L"<local>";
constexpr std::wstring_view kSchemeSeparator = L"://";
constexpr std::wstring_view kAutoDetectWord = L"wpad";

std::vector<std::wstring_view> split_list(std::wstring_view list, std::wstring_view separators) {
    std::vector<std::wstring_view> items;
    while (!list.empty()) {
        const auto end = list.find_first_of(separators);
        const std::wstring_view item = list.substr(0, end);
        if (!item.empty()) {
            items.push_back(item);
        }
        if (end == std::wstring_view::npos) {
            break;
        }
        list = list.substr(end + 1);
    }
    return items;
}

std::optional<std::string> read_variable(const EnvironmentReader& read, const std::string& lower) {
    if (auto value = read(lower); value && !value->empty()) {
        return value;
    }
    std::string upper = lower;
    for (char& c : upper) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    if (auto value = read(upper); value && !value->empty()) {
        return value;
    }
    return std::nullopt;
}

// "http://user@proxy:3128/" -> "http://user@proxy:3128"
std::wstring proxy_entry_target(std::string_view value) {
    std::wstring wide = text::utf8_to_wide(text::trim(value));
    const auto scheme = wide.find(kSchemeSeparator);
    const auto authority_start = scheme == std::wstring::npos ? 0 : scheme + kSchemeSeparator.size();
    const auto slash = wide.find(L'/', authority_start);
    if (slash != std::wstring::npos) {
        wide.resize(slash);
    }
    return wide;
}

// Glob with '*' only, without case.
bool glob_match(std::wstring_view pattern, std::wstring_view value) {
    std::size_t p = 0, v = 0, star = std::wstring_view::npos, mark = 0;
    while (v < value.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            mark = v;
        } else if (p < pattern.size() && text::to_lower(pattern[p]) == text::to_lower(value[v])) {
            ++p;
            ++v;
        } else if (star != std::wstring_view::npos) {
            p = star + 1;
            v = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') {
        ++p;
    }
    return p == pattern.size();
}

// Dotted decimal as inet_pton(AF_INET) takes it: four numbers 0-255, no
// leading zeros.
std::optional<std::uint32_t> parse_ipv4(std::wstring_view text_value) {
    std::uint32_t address = 0;
    std::size_t i = 0;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0) {
            if (i >= text_value.size() || text_value[i] != L'.') {
                return std::nullopt;
            }
            ++i;
        }
        const std::size_t start = i;
        std::uint32_t value = 0;
        while (i < text_value.size() && i - start < 3 && text_value[i] >= L'0' && text_value[i] <= L'9') {
            value = value * 10 + static_cast<std::uint32_t>(text_value[i] - L'0');
            ++i;
        }
        if (i == start || value > 255 || (i - start > 1 && text_value[start] == L'0')) {
            return std::nullopt;
        }
        address = address << 8 | value;
    }
    if (i != text_value.size()) {
        return std::nullopt;
    }
    return address;
}

bool cidr_match(std::wstring_view pattern, std::wstring_view host) {
    const auto slash = pattern.find(L'/');
    const auto network = parse_ipv4(pattern.substr(0, slash));
    const auto bits = text::parse_uint32_exact(pattern.substr(slash + 1));
    const auto address = parse_ipv4(host);
    if (!network || !bits || *bits > 32 || !address) {
        return false;
    }
    const std::uint32_t mask = *bits == 0 ? 0 : ~std::uint32_t{0} << (32 - *bits);
    return (*network & mask) == (*address & mask);
}

}  // namespace

ProxyConfig proxy_config_from_environment(const EnvironmentReader& read) {
    ProxyConfig config;
    const auto all = read_variable(read, kEnvAllProxy);
    auto add_entry = [&](std::wstring_view scheme, const char* variable) {
        auto value = read_variable(read, variable);
        if (!value) {
            value = all;
        }
        if (!value) {
            return;
        }
        const std::wstring target = proxy_entry_target(*value);
        if (target.empty()) {
            return;
        }
        if (!config.proxy.empty()) {
            config.proxy += L';';
        }
        config.proxy += scheme;
        config.proxy += L'=';
        config.proxy += target;
    };
    add_entry(kSchemeHttp, kEnvHttpProxy);
    add_entry(kSchemeHttps, kEnvHttpsProxy);

    if (const auto no_proxy = read_variable(read, kEnvNoProxy)) {
        const std::wstring wide = text::utf8_to_wide(*no_proxy);
        for (std::wstring_view entry : split_list(wide, L", \t")) {
            std::wstring pattern;
            if (entry == L"*") {
                pattern = L"*";
            } else {
                if (entry.starts_with(L"*.")) {
                    entry.remove_prefix(2);
                } else if (entry.starts_with(L'.')) {
                    entry.remove_prefix(1);
                }
                if (entry.starts_with(L'[')) {
                    const auto close = entry.find(L']');
                    entry = entry.substr(1, close == std::wstring_view::npos ? std::wstring_view::npos : close - 1);
                } else if (const auto colon = entry.find(L':');
                           colon != std::wstring_view::npos && entry.find(L':', colon + 1) == std::wstring_view::npos) {
                    entry = entry.substr(0, colon);  // "host:port"
                }
                if (entry.empty()) {
                    continue;
                }
                pattern = std::wstring(entry);
                if (!parse_ipv4(entry) && entry.find(L'/') == std::wstring_view::npos &&
                    entry.find(L':') == std::wstring_view::npos) {
                    pattern += L";*.";
                    pattern += entry;
                }
            }
            if (!config.bypass.empty()) {
                config.bypass += L';';
            }
            config.bypass += pattern;
        }
    }
    if (const auto automatic = read_variable(read, kEnvAutoProxy)) {
        const std::wstring value = text::utf8_to_wide(text::trim(*automatic));
        if (text::to_lower(value) == kAutoDetectWord) {
            config.auto_detect = true;
        } else {
            config.auto_config_url = value;
        }
    }
    return config;
}

ProxyConfig current_user_proxy_config() {
    return proxy_config_from_environment([](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (value == nullptr) {
            return std::nullopt;
        }
        return std::string(value);
    });
}

bool bypasses_proxy(std::wstring_view bypass_list, std::wstring_view host) {
    if (host.starts_with(L'[') && host.ends_with(L']')) {
        host = host.substr(1, host.size() - 2);
    }
    for (std::wstring_view pattern : split_list(bypass_list, L"; \t")) {
        if (const auto scheme = pattern.find(kSchemeSeparator); scheme != std::wstring_view::npos) {
            pattern = pattern.substr(scheme + kSchemeSeparator.size());
        }
        if (pattern == kLocalPattern) {
            if (host.find(L'.') == std::wstring_view::npos && host.find(L':') == std::wstring_view::npos) {
                return true;
            }
            continue;
        }
        if (pattern.find(L'/') != std::wstring_view::npos) {
            if (cidr_match(pattern, host)) {
                return true;
            }
            continue;
        }
        if (glob_match(pattern, host)) {
            return true;
        }
    }
    return false;
}

std::wstring select_proxy(std::wstring_view proxy_list, std::wstring_view bypass_list, std::wstring_view scheme,
                          std::wstring_view host) {
    if (bypasses_proxy(bypass_list, host)) {
        return {};
    }
    std::wstring_view generic;
    std::wstring_view specific;
    for (std::wstring_view entry : split_list(proxy_list, L"; \t")) {
        const auto equals = entry.find(L'=');
        if (equals == std::wstring_view::npos) {
            if (generic.empty()) {
                generic = entry;
            }
        } else if (specific.empty() && text::iequals(entry.substr(0, equals), scheme)) {
            specific = entry.substr(equals + 1);
        }
    }
    const std::wstring_view chosen = specific.empty() ? generic : specific;
    if (chosen.empty()) {
        return {};
    }
    if (chosen.find(kSchemeSeparator) != std::wstring_view::npos) {
        return std::wstring(chosen);
    }
    return L"http://" + std::wstring(chosen);
}

}  // namespace rk::sys::http
