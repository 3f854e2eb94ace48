#include "platform/system/paths.h"

#include <string>
#include <vector>

#include "platform/system/root_prefix.h"
#include "platform/text/utf.h"

namespace rk::sys {
namespace {

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool is_drive_letter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool starts_with_drive(std::wstring_view s) {
    return s.size() >= 2 && is_drive_letter(s[0]) && s[1] == L':';
}

// Splits on both separators and resolves "." and ".." by text. An absolute
// path clamps ".." at its root; a relative one keeps the ".." that lead above
// its start. Components are converted to UTF-8; false when one is not valid
// Unicode.
bool normalized_components(std::wstring_view s, bool absolute, std::vector<std::string>& out) {
    std::size_t pos = 0;
    while (pos <= s.size()) {
        std::size_t end = pos;
        while (end < s.size() && !is_separator(s[end])) {
            ++end;
        }
        const std::wstring_view name = s.substr(pos, end - pos);
        pos = end + 1;
        if (name.empty() || name == L".") {
            continue;
        }
        if (name == L"..") {
            if (!out.empty() && out.back() != "..") {
                out.pop_back();
            } else if (!absolute) {
                out.emplace_back("..");
            }
            continue;
        }
        auto utf8 = text::wide_to_utf8_strict(name);
        if (!utf8) {
            return false;
        }
        out.push_back(std::move(*utf8));
    }
    return true;
}

// "/a/b" for an absolute path, "a/b" for a relative one.
std::string join(const std::vector<std::string>& parts, bool absolute) {
    std::string joined;
    for (const auto& part : parts) {
        if (absolute || !joined.empty()) {
            joined += '/';
        }
        joined += part;
    }
    return joined;
}

std::filesystem::path under_root_of(const std::vector<std::string>& parts) {
    if (parts.empty()) {
        const std::filesystem::path root = root_prefix();
        return root.empty() ? std::filesystem::path("/") : root;
    }
    return under_root(join(parts, true));
}

}  // namespace

std::optional<std::filesystem::path> to_host_path(std::wstring_view system_path) {
    std::wstring_view s = system_path;
    if (s.empty() || s.find(L'\0') != std::wstring_view::npos) {
        return std::nullopt;
    }
    if (s.size() >= 2 && is_separator(s[0]) && is_separator(s[1])) {
        // "\\?\X:\..." is a drive path without Win32 normalisation; every
        // other double-separator form is a network share or a device.
        const bool long_form = s.size() >= 4 && s[2] == L'?' && is_separator(s[3]);
        if (!long_form || !starts_with_drive(s.substr(4))) {
            return std::nullopt;
        }
        s.remove_prefix(4);
    }
    std::vector<std::string> parts;
    if (starts_with_drive(s)) {
        if (!normalized_components(s.substr(2), true, parts)) {
            return std::nullopt;
        }
        return under_root_of(parts);
    }
    const bool absolute = is_separator(s[0]);
    if (!normalized_components(s, absolute, parts)) {
        return std::nullopt;
    }
    if (absolute) {
        return parts.empty() ? std::filesystem::path("/") : std::filesystem::path(join(parts, true));
    }
    return parts.empty() ? std::filesystem::path(".") : std::filesystem::path(join(parts, false));
}

std::wstring wide_path(const std::filesystem::path& host_path) {
    return text::utf8_to_wide(host_path.native());
}

std::wstring to_windows_path(const std::filesystem::path& host_path) {
    std::wstring text = wide_path(host_path);
    std::wstring root = wide_path(root_prefix());
    while (root.size() > 1 && root.back() == L'/') {
        root.pop_back();
    }
    std::wstring result;
    if (!root.empty() && text.starts_with(root) &&
        (text.size() == root.size() || text[root.size()] == L'/' || root == L"/")) {
        result = L"C:" + text.substr(root == L"/" ? 0 : root.size());
        if (result.size() == 2) {
            result += L'\\';
        }
    } else if (root.empty() && !text.empty() && text[0] == L'/') {
        result = L"C:" + text;
    } else if (starts_with_drive(text)) {
        result = L".\\" + text;  // a relative name that only looks like a drive
    } else {
        result = text;
    }
    for (wchar_t& c : result) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return result;
}

SplitPath split_path(std::wstring_view path) {
    SplitPath parts;
    if (path.size() >= 2 && path[1] == L':') {
        parts.drive = path.substr(0, 2);
        path.remove_prefix(2);
    }
    const std::size_t last_separator = path.find_last_of(L"\\/");
    if (last_separator != std::wstring_view::npos) {
        parts.directory = path.substr(0, last_separator + 1);
        path.remove_prefix(last_separator + 1);
    }
    const std::size_t dot = path.rfind(L'.');
    if (dot != std::wstring_view::npos) {
        parts.extension = path.substr(dot);
        path = path.substr(0, dot);
    }
    parts.file_name = path;
    return parts;
}

}  // namespace rk::sys
