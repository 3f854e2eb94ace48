#include "xml_updater/web_cache/key_value_store.h"

#include <stdexcept>

#include "platform/crypto/rk_crypto_hash.h"
#include "platform/text/format.h"
#include "platform/text/utf.h"

namespace XMLUpdater::v2::web_cache {
namespace {

constexpr char kMagic[4] = {'S', 'K', 'V', 'S'};
constexpr std::uint8_t kTypeString = 1;
constexpr std::uint8_t kTypeInteger = 2;
constexpr std::size_t kDigestSize = 32;

std::vector<std::uint8_t> sha256(std::span<const std::uint8_t> bytes) {
    RkCryptoLib::CRkCryptoHashWin hash;
    std::vector<std::uint8_t> digest;
    if (!RkCryptoLib::RK_SUCCESS(hash.Initialize(RkCryptoLib::CRYPTO_HASH_ALG_ID::SHA256)) ||
        !RkCryptoLib::RK_SUCCESS(hash.AddToHash(bytes.data(), bytes.size())) ||
        !RkCryptoLib::RK_SUCCESS(hash.GetFinalHash(digest)) || digest.size() != kDigestSize) {
        throw std::runtime_error("Failed to initialize RkCryptoLib");
    }
    return digest;
}

bool is_blank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f' || c == 0x85 ||
           c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 ||
           c == 0x202F || c == 0x205F || c == 0x3000;
}

const char* type_name(const KeyValueStore::Value& value) {
    return std::holds_alternative<std::wstring>(value) ? "string" : "integer";
}

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void put_text(std::vector<std::uint8_t>& out, std::wstring_view text) {
    const std::string utf8 = rk::text::wide_to_utf8(text);
    put_u32(out, static_cast<std::uint32_t>(utf8.size()));
    out.insert(out.end(), utf8.begin(), utf8.end());
}

// Reads the serialized form front to back; every read is bounds-checked.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::span<const std::uint8_t> take(std::size_t count) {
        if (count > bytes_.size() - pos_) {
            throw std::runtime_error(kMsgBadData);
        }
        const auto piece = bytes_.subspan(pos_, count);
        pos_ += count;
        return piece;
    }
    std::uint8_t u8() { return take(1)[0]; }
    std::uint32_t u32() {
        const auto b = take(4);
        return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
               static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    }
    std::uint64_t u64() {
        const std::uint64_t low = u32();
        const std::uint64_t high = u32();
        return low | high << 32;
    }
    std::wstring text(std::uint32_t limit) {
        const std::uint32_t size = u32();
        if (size > limit) {
            throw std::runtime_error(kMsgBadData);
        }
        const auto bytes = take(size);
        auto wide = rk::text::utf8_to_wide_strict(std::string_view(reinterpret_cast<const char*>(bytes.data()), size));
        if (!wide) {
            throw std::runtime_error(kMsgBadData);
        }
        return std::move(*wide);
    }
    bool at_end() const { return pos_ == bytes_.size(); }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

}  // namespace

void KeyValueStore::check_key(std::wstring_view key) {
    if (key.empty()) {
        throw std::invalid_argument(kMsgKeyEmpty);
    }
    for (const wchar_t c : key) {
        if (is_blank(c)) {
            throw std::invalid_argument(kMsgKeyWhitespace);
        }
    }
}

void KeyValueStore::set(std::wstring_view key, std::wstring value) {
    check_key(key);
    entries_.insert_or_assign(std::wstring(key), std::move(value));
}

void KeyValueStore::set_integer(std::wstring_view key, std::int64_t value) {
    check_key(key);
    entries_.insert_or_assign(std::wstring(key), value);
}

std::optional<std::wstring> KeyValueStore::get(std::wstring_view key) const {
    const auto it = entries_.find(key);
    if (it == entries_.end()) {
        return std::nullopt;
    }
    if (const auto* text = std::get_if<std::wstring>(&it->second)) {
        return *text;
    }
    throw std::runtime_error(rk::text::format(std::string_view(kMsgTypeMismatch), type_name(it->second)));
}

std::optional<std::int64_t> KeyValueStore::get_integer(std::wstring_view key) const {
    const auto it = entries_.find(key);
    if (it == entries_.end()) {
        return std::nullopt;
    }
    if (const auto* number = std::get_if<std::int64_t>(&it->second)) {
        return *number;
    }
    throw std::runtime_error(rk::text::format(std::string_view(kMsgTypeMismatch), type_name(it->second)));
}

std::wstring KeyValueStore::required(std::wstring_view key) const {
    auto value = get(key);
    if (!value) {
        throw std::runtime_error(
            rk::text::wide_to_utf8(rk::text::format(std::wstring_view(kMsgRequiredParameter), key)));
    }
    return std::move(*value);
}

bool KeyValueStore::contains(std::wstring_view key) const { return entries_.find(key) != entries_.end(); }

void KeyValueStore::erase(std::wstring_view key) {
    if (const auto it = entries_.find(key); it != entries_.end()) {
        entries_.erase(it);
    }
}

std::vector<std::uint8_t> KeyValueStore::serialize() const {
    std::vector<std::uint8_t> out(std::begin(kMagic), std::end(kMagic));
    put_u32(out, kVersion);
    put_u32(out, static_cast<std::uint32_t>(entries_.size()));
    for (const auto& [key, value] : entries_) {
        put_text(out, key);
        if (const auto* text = std::get_if<std::wstring>(&value)) {
            out.push_back(kTypeString);
            put_text(out, *text);
        } else {
            out.push_back(kTypeInteger);
            const auto number = static_cast<std::uint64_t>(std::get<std::int64_t>(value));
            put_u32(out, static_cast<std::uint32_t>(number));
            put_u32(out, static_cast<std::uint32_t>(number >> 32));
        }
    }
    const auto digest = sha256(out);
    out.insert(out.end(), digest.begin(), digest.end());
    return out;
}

KeyValueStore KeyValueStore::parse(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < sizeof(kMagic) + 4) {
        throw std::runtime_error(kMsgBadVersion);
    }
    Reader header(bytes);
    const auto magic = header.take(sizeof(kMagic));
    if (!std::equal(std::begin(kMagic), std::end(kMagic), magic.begin()) || header.u32() != kVersion) {
        throw std::runtime_error(kMsgBadVersion);
    }
    if (bytes.size() < sizeof(kMagic) + 8 + kDigestSize) {
        throw std::runtime_error(kMsgBadData);
    }
    const auto body = bytes.first(bytes.size() - kDigestSize);
    const auto digest = sha256(body);
    if (!std::equal(digest.begin(), digest.end(), bytes.end() - kDigestSize)) {
        throw std::runtime_error(kMsgBadData);
    }
    Reader reader(body.subspan(sizeof(kMagic) + 4));
    const std::uint32_t count = reader.u32();
    if (count > kMaxEntries) {
        throw std::runtime_error(kMsgBadData);
    }
    KeyValueStore store;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::wstring key = reader.text(kMaxKeyBytes);
        try {
            check_key(key);
        } catch (const std::invalid_argument&) {
            throw std::runtime_error(kMsgBadData);
        }
        if (store.contains(key)) {
            throw std::runtime_error(kMsgBadData);
        }
        switch (reader.u8()) {
            case kTypeString:
                store.entries_.emplace(std::move(key), reader.text(kMaxStringBytes));
                break;
            case kTypeInteger:
                store.entries_.emplace(std::move(key), static_cast<std::int64_t>(reader.u64()));
                break;
            default:
                throw std::runtime_error(kMsgBadData);
        }
    }
    if (!reader.at_end()) {
        throw std::runtime_error(kMsgBadData);
    }
    return store;
}

}  // namespace XMLUpdater::v2::web_cache
