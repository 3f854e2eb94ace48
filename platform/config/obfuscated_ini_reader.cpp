#include "platform/config/obfuscated_ini_reader.h"

#include "platform/config/scrambler.h"
#include "platform/system/ini/profile.h"
#include "platform/text/format.h"
#include "platform/text/numeric.h"
#include "platform/text/utf.h"

namespace DiraDoro {
namespace {

// A scrambled INI value carries this tag inside its layout.
constexpr std::uint32_t kIniTag = 0x494E4931;  // "INI1"

std::pair<std::wstring, std::wstring> split_key_path(const std::wstring& keyPath) {
    const auto sep = keyPath.find(L'\\');
    if (sep == std::wstring::npos) {
        return {std::wstring(), keyPath};
    }
    return {keyPath.substr(0, sep), keyPath.substr(sep + 1)};
}

}  // namespace

CObfuscatedIniReader::CObfuscatedIniReader(int strict) : strict_(strict) {}

CObfuscatedIniReader::~CObfuscatedIniReader() = default;

std::wstring CObfuscatedIniReader::Scramble(const std::wstring& value) {
    const std::string utf8 = rk::text::wide_to_utf8(value);
    const auto bytes = internal::scramble(kIniTag, std::span(reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size()));
    std::uint8_t sum = 0;
    for (const std::uint8_t b : bytes) {
        sum = static_cast<std::uint8_t>(sum + b);
    }
    return rk::text::to_hex_wide(bytes, true) + rk::text::to_hex_wide(std::span(&sum, 1), true);
}

std::optional<std::wstring> CObfuscatedIniReader::Unscramble(const std::wstring& stored) {
    const auto bytes = rk::text::from_hex(stored);
    if (!bytes || bytes->empty()) {
        return std::nullopt;
    }
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i + 1 < bytes->size(); ++i) {
        sum = static_cast<std::uint8_t>(sum + (*bytes)[i]);
    }
    if (sum != bytes->back()) {
        return std::nullopt;
    }
    const auto plain = internal::unscramble(std::span(bytes->data(), bytes->size() - 1));
    if (!plain || plain->tag != kIniTag) {
        return std::nullopt;
    }
    return rk::text::utf8_to_wide_strict(
        std::string_view(reinterpret_cast<const char*>(plain->data.data()), plain->data.size()));
}

bool CObfuscatedIniReader::Load(const std::wstring& path) {
    raw_.clear();
    const bool loaded = CBaseIniReader::Load(path);
    for (const auto& [section, entries] : raw_) {
        for (const auto& [key, stored] : entries) {
            if (const auto value = Unscramble(stored)) {
                sections_[section][key] = *value;
            } else if (strict_ == 0) {
                sections_[section][key] = stored;
            }
        }
    }
    return loaded;
}

bool CObfuscatedIniReader::GetIntByPath(const std::wstring& keyPath, int& value) {
    std::wstring text;
    if (!GetStringByPath(keyPath, text)) {
        return false;
    }
    const auto parsed = rk::text::wcstol_like(text, 10);
    if (parsed.consumed == 0) {
        return false;
    }
    value = parsed.value;
    return true;
}

bool CObfuscatedIniReader::GetStringByPath(const std::wstring& keyPath, std::wstring& value) {
    const auto [section, key] = split_key_path(keyPath);
    const auto s = sections_.find(section);
    if (s == sections_.end()) {
        return false;
    }
    const auto k = s->second.find(key);
    if (k == s->second.end()) {
        return false;
    }
    value = k->second;
    return true;
}

bool CObfuscatedIniReader::GetSection(const std::wstring& section, std::map<std::wstring, std::wstring>& values) {
    const auto s = sections_.find(section);
    if (s == sections_.end()) {
        return false;
    }
    values.insert(s->second.begin(), s->second.end());
    return true;
}

bool CObfuscatedIniReader::SetInt(const std::wstring& section, const std::wstring& key, int value) {
    return SetString(section, key, rk::text::format(L"%d", value));
}

bool CObfuscatedIniReader::SetString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& value) {
    if (path_.empty()) {
        return false;
    }
    const std::wstring stored = Scramble(value);
    const auto bytes = rk::text::from_hex(stored);
    // The struct form is the scrambled bytes; the profile function adds the
    // checksum byte that Scramble() also appends.
    if (!rk::sys::ini::WritePrivateProfileStructW(section.c_str(), key.c_str(), bytes->data(),
                                                  static_cast<std::uint32_t>(bytes->size() - 1), path_.c_str())) {
        // The documented result of a failed write is the last error, which
        // as a bool is true: callers that must know read
        // rk::sys::ini::profile_last_error() (0 after a write that worked).
        return rk::sys::ini::profile_last_error() != rk::win::kErrorSuccess;
    }
    raw_[section][key] = stored;
    Store(section, key, value, false);
    return true;
}

void CObfuscatedIniReader::Store(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                                 bool fromFile) {
    if (fromFile) {
        raw_[section].try_emplace(key, value);
    } else {
        sections_[section][key] = value;
    }
}

}  // namespace DiraDoro
