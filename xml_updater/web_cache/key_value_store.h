// The typed key-value store of a cached object's metadata (the plain text
// of a ".skvs" file). Keys are non-empty names without white space; values
// are strings or 64-bit integers. serialize() and parse() give the
// versioned binary form:
//
//   "SKVS", version (u32), entry count (u32), then per entry in key order:
//   key length (u32), key (UTF-8), type (u8: 1 string, 2 integer),
//   string: length (u32) and UTF-8 bytes; integer: 8 bytes;
//   then the SHA-256 of everything before it (32 bytes)
//
// all integers little-endian. The digest turns any changed byte into an
// error instead of a silently different value. Failures throw std::runtime_error (for keys
// std::invalid_argument) with the texts below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace XMLUpdater::v2::web_cache {

inline constexpr char kMsgTypeMismatch[] = "Type mismatch on get value (type is %hs)";
inline constexpr char kMsgKeyWhitespace[] = "Key cannot contain whitespace character(s)";
inline constexpr char kMsgKeyEmpty[] = "Key cannot be empty";
inline constexpr wchar_t kMsgRequiredParameter[] = L"Required parameter '%ls' is missing";
inline constexpr char kMsgBadVersion[] = "Serialization version number incorrect (possible i/o error or corrupt file)";
inline constexpr char kMsgBadData[] = "Serialization data incorrect (possible i/o error or corrupt file)";

class KeyValueStore {
public:
    using Value = std::variant<std::wstring, std::int64_t>;

    static constexpr std::uint32_t kVersion = 1;
    // Bounds of a parsed store: metadata is a few hundred bytes.
    static constexpr std::uint32_t kMaxEntries = 1024;
    static constexpr std::uint32_t kMaxKeyBytes = 256;
    static constexpr std::uint32_t kMaxStringBytes = 64 * 1024;

    void set(std::wstring_view key, std::wstring value);
    void set_integer(std::wstring_view key, std::int64_t value);
    // nullopt when absent; a value of the other type throws kMsgTypeMismatch.
    std::optional<std::wstring> get(std::wstring_view key) const;
    std::optional<std::int64_t> get_integer(std::wstring_view key) const;
    // The string value, or a std::runtime_error "Required parameter '%ls' is
    // missing" when absent.
    std::wstring required(std::wstring_view key) const;
    bool contains(std::wstring_view key) const;
    void erase(std::wstring_view key);
    void clear() { entries_.clear(); }

    const std::map<std::wstring, Value, std::less<>>& entries() const { return entries_; }

    std::vector<std::uint8_t> serialize() const;
    static KeyValueStore parse(std::span<const std::uint8_t> bytes);

    friend bool operator==(const KeyValueStore&, const KeyValueStore&) = default;

private:
    static void check_key(std::wstring_view key);

    std::map<std::wstring, Value, std::less<>> entries_;
};

}  // namespace XMLUpdater::v2::web_cache
