#include "platform/config/base_ini_reader.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/system/ini/profile.h"
#include "platform/system/paths.h"
#include "platform/text/format.h"
#include "platform/text/utf.h"

namespace DiraDoro {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

CBaseIniReader::~CBaseIniReader() = default;

bool CBaseIniReader::Load(const std::wstring& path) {
    path_ = path;
    sections_.clear();
    current_section_.clear();
    const auto host = rk::sys::to_host_path(path);
    std::unique_ptr<std::FILE, FileCloser> file(host ? std::fopen(host->c_str(), "r") : nullptr);
    if (!file) {
        if (!host || errno != ENOENT) {
            path_.clear();
        }
        return false;
    }
    unsigned char bom[2] = {};
    if (std::fread(bom, 1, 2, file.get()) == 2 && bom[0] == 0xFF && bom[1] == 0xFE) {
        // UTF-16LE with BOM, which the profile functions also write: decoded
        // whole, then fed line by line like narrow text.
        std::string bytes;
        char chunk[4096];
        std::size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
            bytes.append(chunk, n);
        }
        const std::wstring wide = rk::text::utf16le_to_wide(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size() & ~std::size_t{1}));
        for (const auto& line : rk::text::split(wide, L'\n')) {
            for (std::size_t pos = 0; pos == 0 || pos < line.size(); pos += kIniMaxLineChars) {
                ParseLine(rk::text::wide_to_utf8(std::wstring_view(line).substr(pos, kIniMaxLineChars)));
            }
        }
        return true;
    }
    std::rewind(file.get());
    char buffer[kIniMaxLineChars + 1];
    bool first = true;
    while (std::fgets(buffer, sizeof buffer, file.get()) != nullptr) {
        std::string_view line(buffer);
        if (first && line.starts_with("\xEF\xBB\xBF")) {
            line.remove_prefix(3);
        }
        first = false;
        ParseLine(std::string(line));
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
