#include "platform/config/base_ini_reader.h"

#include <algorithm>
#include <string_view>

#include "platform/system/file.h"
#include "platform/system/ini/profile.h"
#include "platform/system/paths.h"
#include "platform/text/format.h"
#include "platform/text/utf.h"

namespace DiraDoro {

CBaseIniReader::~CBaseIniReader() = default;

bool CBaseIniReader::Load(const std::wstring& path) {
    path_ = path;
    sections_.clear();
    current_section_.clear();
    rk::sys::File file;
    std::string bytes;
    rk::DWORD error = rk::sys::File::open(path, rk::sys::FileOpenOptions{}, file);
    if (error == rk::win::kErrorSuccess) {
        error = file.read_to_end(bytes, rk::sys::ini::kMaxFileBytes);
    }
    if (error != rk::win::kErrorSuccess) {
        // A missing file keeps its path: SetString creates it. A missing or
        // unusable folder (3) does not.
        if (error != rk::win::kErrorFileNotFound) {
            path_.clear();
        }
        return false;
    }
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        // UTF-16LE with BOM, which the profile functions also write: decoded
        // whole, then fed line by line like narrow text.
        const std::wstring wide = rk::text::utf16le_to_wide(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2, (bytes.size() - 2) & ~std::size_t{1}));
        for (const auto& line : rk::text::split(wide, L'\n')) {
            for (std::size_t pos = 0; pos == 0 || pos < line.size(); pos += kIniMaxLineChars) {
                ParseLine(rk::text::wide_to_utf8(std::wstring_view(line).substr(pos, kIniMaxLineChars)));
            }
        }
        return true;
    }
    // Lines of at most kIniMaxLineChars bytes (a longer one continues as the
    // next), each with its line feed; a UTF-8 BOM is dropped.
    std::string_view rest = bytes;
    if (rest.starts_with("\xEF\xBB\xBF")) {
        rest.remove_prefix(3);
    }
    while (!rest.empty()) {
        std::size_t length = std::min(rest.size(), kIniMaxLineChars);
        if (const auto feed = rest.substr(0, length).find('\n'); feed != std::string_view::npos) {
            length = feed + 1;
        }
        const std::string_view line = rest.substr(0, length);
        rest.remove_prefix(length);
        ParseLine(std::string(line.substr(0, line.find('\0'))));
    }
    return true;
}

bool CBaseIniReader::GetInt(const std::wstring& section, const std::wstring& key, int& value) {
    return GetIntByPath(section + L"\\" + key, value);
}

bool CBaseIniReader::GetString(const std::wstring& section, const std::wstring& key, std::wstring& value) {
    return GetStringByPath(section + L"\\" + key, value);
}

bool CBaseIniReader::GetIntByPath(const std::wstring& /*keyPath*/, int& /*value*/) { return false; }

bool CBaseIniReader::GetStringByPath(const std::wstring& /*keyPath*/, std::wstring& /*value*/) { return false; }

bool CBaseIniReader::GetSection(const std::wstring& /*section*/, std::map<std::wstring, std::wstring>& /*values*/) {
    return false;
}

bool CBaseIniReader::SetInt(const std::wstring& section, const std::wstring& key, int value) {
    return SetString(section, key, rk::text::format(L"%d", value));
}

bool CBaseIniReader::SetString(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    if (path_.empty()) {
        return false;
    }
    if (!rk::sys::ini::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path_.c_str())) {
        return false;
    }
    Store(section, key, value, false);
    return true;
}

void CBaseIniReader::Store(const std::wstring& /*section*/, const std::wstring& /*key*/,
                           const std::wstring& /*value*/, bool /*fromFile*/) {}

void CBaseIniReader::ParseLine(const std::string& line) {
    const std::wstring wide = rk::text::utf8_to_wide(line);
    const std::wstring_view text = rk::text::trim(wide);
    if (text.empty() || text.front() == L';') {
        return;
    }
    if (text.front() == L'[' && text.back() == L']' && text.size() >= 2) {
        current_section_ = rk::text::trim(text.substr(1, text.size() - 2));
        return;
    }
    const auto eq = text.find(L'=');
    if (eq == std::wstring_view::npos) {
        return;
    }
    Store(current_section_, std::wstring(rk::text::trim(text.substr(0, eq))),
          std::wstring(rk::text::trim(text.substr(eq + 1))), true);
}

}  // namespace DiraDoro
