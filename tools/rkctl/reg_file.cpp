#include "tools/rkctl/reg_file.h"

#include "platform/text/strings.h"
#include "platform/text/utf.h"

namespace rk::regfile {

std::optional<KeyName> split_key_name(std::wstring_view full, std::wstring* error) {
    const auto fail = [error](std::wstring message) -> std::optional<KeyName> {
        if (error) *error = std::move(message);
        return std::nullopt;
    };
    const std::size_t slash = full.find(L'\\');
    const std::wstring_view root = full.substr(0, slash);
    KeyName name;
    for (const auto known : kRootNames) {
        if (text::iequals(root, known)) name.root = std::wstring(known);
    }
    if (name.root.empty()) {
        return fail(L"unknown root key \"" + std::wstring(root) + L"\"");
    }
    if (slash == std::wstring_view::npos) return name;
    const std::wstring_view path = full.substr(slash + 1);
    for (const auto& component : text::split(path, L'\\')) {
        if (component.empty()) return fail(L"empty key name component in \"" + std::wstring(full) + L"\"");
        if (text::utf16_length(component) > kMaxKeyNameComponent) {
            return fail(L"key name component longer than 255 characters");
        }
    }
    name.path = std::wstring(path);
    return name;
}

std::vector<std::uint8_t> string_data(std::wstring_view text) {
    auto bytes = text::wide_to_utf16le(text);
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

std::vector<std::uint8_t> multi_string_data(const std::vector<std::wstring>& items) {
    std::vector<std::uint8_t> bytes;
    for (const auto& item : items) {
        const auto one = string_data(item);
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

std::vector<std::uint8_t> dword_data(std::uint32_t value) {
    std::vector<std::uint8_t> bytes(4);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return bytes;
}

std::vector<std::uint8_t> qword_data(std::uint64_t value) {
    std::vector<std::uint8_t> bytes(8);
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return bytes;
}

}  // namespace rk::regfile
