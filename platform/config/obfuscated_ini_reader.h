// DiraDoro::CObfuscatedIniReader: an INI reader whose values are kept
// scrambled in the file (scrambler.h layout, written as a profile struct:
// hex digits plus a checksum byte). Lines read from disk are kept raw and
// unscrambled after Load; lookups answer from memory.
//
// Constructor flag: 1 (what every caller passes) refuses values that are
// not scrambled; 0 also accepts plain values as they stand (migrating an
// older plain file).
#pragma once

#include <optional>

#include "platform/config/base_ini_reader.h"

namespace DiraDoro {

class CObfuscatedIniReader : public CBaseIniReader {
public:
    explicit CObfuscatedIniReader(int strict = 1);
    ~CObfuscatedIniReader() override;

    bool Load(const std::wstring& path) override;
    bool GetIntByPath(const std::wstring& keyPath, int& value) override;
    bool GetStringByPath(const std::wstring& keyPath, std::wstring& value) override;
    bool GetSection(const std::wstring& section, std::map<std::wstring, std::wstring>& values) override;
    // A failed write returns its last error (so true for any error number)
    // and leaves it in rk::sys::ini::profile_last_error(), which is 0 after a
    // write that worked; the value is then not stored in memory either.
    bool SetInt(const std::wstring& section, const std::wstring& key, int value) override;
    bool SetString(const std::wstring& section, const std::wstring& key, const std::wstring& value) override;
    void Store(const std::wstring& section, const std::wstring& key, const std::wstring& value,
               bool fromFile) override;

    // The scrambled file form of a value, and back (nullopt: not scrambled).
    static std::wstring Scramble(const std::wstring& value);
    static std::optional<std::wstring> Unscramble(const std::wstring& stored);

private:
    int strict_;
    IniSections raw_;
};

}  // namespace DiraDoro
