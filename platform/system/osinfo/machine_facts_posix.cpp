#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/errors/errno_map.h"
#include "platform/system/fd_posix.h"
#include "platform/system/osinfo/machine_facts.h"
#include "platform/system/root_prefix.h"
#include "platform/text/utf.h"

namespace rk::sys {
namespace {

// Reads a whole small file; the error is a Windows number.
DWORD read_small_file(const std::filesystem::path& path, std::string& text) {
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        return errno == ENOENT || errno == ENOTDIR ? win::kErrorFileNotFound : win::from_errno(errno);
    }
    text.clear();
    const int error = read_bounded(fd.get(), text, kMaxFactFileBytes);
    return error == 0 ? 0 : win::from_errno(error);
}

std::string unquote(std::string_view value) {
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
        return std::string(value.substr(1, value.size() - 2));
    }
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        std::string out;
        for (std::size_t i = 1; i + 1 < value.size(); ++i) {
            if (value[i] == '\\' && i + 2 < value.size()) {
                ++i;
            }
            out.push_back(value[i]);
        }
        return out;
    }
    return std::string(value);
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::wstring os_release_product_name(std::string_view os_release) {
    std::optional<std::string> pretty;
    std::optional<std::string> name;
    std::optional<std::string> version;
    while (!os_release.empty()) {
        const auto end = os_release.find('\n');
        std::string_view line = os_release.substr(0, end);
        os_release = end == std::string_view::npos ? std::string_view() : os_release.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const auto equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = line.substr(0, equals);
        std::string value = unquote(line.substr(equals + 1));
        if (key == "PRETTY_NAME") {
            pretty = std::move(value);
        } else if (key == "NAME") {
            name = std::move(value);
        } else if (key == "VERSION_ID") {
            version = std::move(value);
        }
    }
    if (pretty && !pretty->empty()) {
        return text::utf8_to_wide(*pretty);
    }
    if (!name || name->empty()) {
        return {};
    }
    return text::utf8_to_wide(version && !version->empty() ? *name + " " + *version : *name);
}

std::wstring machine_id_to_guid(std::string_view machine_id) {
    if (machine_id.ends_with('\n')) {
        machine_id.remove_suffix(1);
    }
    if (machine_id.size() != 32) {
        return {};
    }
    std::wstring guid;
    for (std::size_t i = 0; i < machine_id.size(); ++i) {
        const int v = hex_value(machine_id[i]);
        if (v < 0) {
            return {};
        }
        if (i == 8 || i == 12 || i == 16 || i == 20) {
            guid.push_back(L'-');
        }
        guid.push_back(static_cast<wchar_t>(v < 10 ? L'0' + v : L'a' + v - 10));
    }
    return guid;
}

DWORD os_product_name(std::wstring& name) {
    std::string text;
    DWORD error = read_small_file(under_root("/etc/os-release"), text);
    if (error == win::kErrorFileNotFound) {
        error = read_small_file(under_root("/usr/lib/os-release"), text);
    }
    if (error != 0) {
        return error;
    }
    std::wstring product = os_release_product_name(text);
    if (product.empty()) {
        return win::kErrorInvalidData;
    }
    name = std::move(product);
    return 0;
}

DWORD machine_guid(std::wstring& guid) {
    std::string text;
    const DWORD error = read_small_file(under_root("/etc/machine-id"), text);
    if (error != 0) {
        return error;
    }
    std::wstring value = machine_id_to_guid(text);
    if (value.empty()) {
        return win::kErrorInvalidData;
    }
    guid = std::move(value);
    return 0;
}

}  // namespace rk::sys
