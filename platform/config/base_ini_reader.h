// DiraDoro::CBaseIniReader: an INI file's path and an in-memory copy of its
// sections. The base reader parses files and writes values through the
// profile functions, but keeps nothing: Store and the lookups (GetIntByPath,
// GetStringByPath, GetSection) are completed by a derived reader.
#pragma once

#include <map>
#include <string>

#include "platform/text/strings.h"

namespace DiraDoro {

// Section and key names compare case-insensitively, as the profile
// functions do.
struct CaseInsensitiveLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        return rk::text::to_upper(a) < rk::text::to_upper(b);
    }
};
using IniSection = std::map<std::wstring, std::wstring, CaseInsensitiveLess>;
using IniSections = std::map<std::wstring, IniSection, CaseInsensitiveLess>;

class CBaseIniReader {
public:
    CBaseIniReader() = default;
    virtual ~CBaseIniReader();
    CBaseIniReader(const CBaseIniReader&) = delete;
    CBaseIniReader& operator=(const CBaseIniReader&) = delete;

    // Reads the file line by line (1024 characters at most per line) into
    // ParseLine. A missing file keeps the path (a later SetString creates
    // it) and returns false; any other failure clears the path.
    virtual bool Load(const std::wstring& path);
    virtual bool GetInt(const std::wstring& section, const std::wstring& key, int& value);
    virtual bool GetString(const std::wstring& section, const std::wstring& key, std::wstring& value);
    // keyPath: section, '\', key.
    virtual bool GetIntByPath(const std::wstring& keyPath, int& value);
    virtual bool GetStringByPath(const std::wstring& keyPath, std::wstring& value);
    virtual bool GetSection(const std::wstring& section, std::map<std::wstring, std::wstring>& values);
    virtual bool SetInt(const std::wstring& section, const std::wstring& key, int value);
    virtual bool SetString(const std::wstring& section, const std::wstring& key, const std::wstring& value);
    virtual void Store(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                       bool fromFile);
    virtual void ParseLine(const std::string& line);

    const std::wstring& path() const { return path_; }

protected:
    std::wstring path_;
    IniSections sections_;
    std::wstring current_section_;
};

// Line length limit of Load.
inline constexpr std::size_t kIniMaxLineChars = 1024;

}  // namespace DiraDoro
