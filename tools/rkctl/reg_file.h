// The model of a registry script (".reg" file, "Windows Registry Editor
// Version 5.00"): an ordered list of key sections, each either a key to
// create with values to set or delete, or a key tree to delete.
//
// Value data is kept as raw bytes with the registry type number, exactly as
// the registry stores it (strings as UTF-16LE with their terminator), so a
// file read and written back carries every type unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::regfile {

inline constexpr std::wstring_view kHeaderV5 = L"Windows Registry Editor Version 5.00";

// Registry value type numbers as the format writes them in "hex(N):".
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

// Root key names a section may start with (regedit accepts only the long
// forms in files).
inline constexpr std::wstring_view kHkeyLocalMachine = L"HKEY_LOCAL_MACHINE";
inline constexpr std::wstring_view kHkeyCurrentUser = L"HKEY_CURRENT_USER";
inline constexpr std::wstring_view kHkeyClassesRoot = L"HKEY_CLASSES_ROOT";
inline constexpr std::wstring_view kHkeyUsers = L"HKEY_USERS";
inline constexpr std::wstring_view kHkeyCurrentConfig = L"HKEY_CURRENT_CONFIG";
inline constexpr std::wstring_view kRootNames[] = {kHkeyLocalMachine, kHkeyCurrentUser,
                                                   kHkeyClassesRoot, kHkeyUsers,
                                                   kHkeyCurrentConfig};

// Windows limits, in UTF-16 code units.
inline constexpr std::size_t kMaxKeyNameComponent = 255;
inline constexpr std::size_t kMaxValueName = 16383;

struct RegValue {
    int line = 0;       // first line of the value in the source file; 0 when built in code
    std::wstring name;  // empty: the default value ("@")
    bool remove = false;  // "name"=-
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data;

    bool operator==(const RegValue& o) const {
        return name == o.name && remove == o.remove && type == o.type && data == o.data;
    }
};

struct RegKey {
    int line = 0;
    std::wstring root;  // one of kRootNames, upper case
    std::wstring path;  // below the root, components separated by '\'; may be empty
    bool remove = false;  // [-KEY]: delete the key and everything below it
    std::vector<RegValue> values;

    std::wstring full_name() const { return path.empty() ? root : root + L"\\" + path; }
    bool operator==(const RegKey& o) const {
        return root == o.root && path == o.path && remove == o.remove && values == o.values;
    }
};

struct RegFile {
    std::vector<RegKey> keys;
    bool operator==(const RegFile& o) const { return keys == o.keys; }
};

// Splits "ROOT\sub\key" into the canonical root name and the path below it.
// The root is matched case-insensitively against kRootNames; components must
// be non-empty and at most kMaxKeyNameComponent long. nullopt with a message
// in `error` otherwise.
struct KeyName {
    std::wstring root;
    std::wstring path;
};
std::optional<KeyName> split_key_name(std::wstring_view full, std::wstring* error);

// Typed data helpers: the exact bytes the registry stores.
std::vector<std::uint8_t> string_data(std::wstring_view text);  // UTF-16LE + terminator
std::vector<std::uint8_t> multi_string_data(const std::vector<std::wstring>& items);
std::vector<std::uint8_t> dword_data(std::uint32_t value);
std::vector<std::uint8_t> qword_data(std::uint64_t value);

}  // namespace rk::regfile
