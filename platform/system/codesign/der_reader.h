// A bounded reader of single DER elements (tag, length, contents). Used for the
// few structures OpenSSL has no public type for (SpcIndirectDataContent) and to
// measure a blob's real length. Never recurses, never allocates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace rk::sys::codesign {

struct DerElement {
    std::uint8_t tag = 0;                 // identifier octet (low tag numbers only)
    std::span<const std::uint8_t> whole;  // header and contents
    std::span<const std::uint8_t> contents;
};

namespace der_tag {
inline constexpr std::uint8_t kInteger = 0x02;
inline constexpr std::uint8_t kOctetString = 0x04;
inline constexpr std::uint8_t kNull = 0x05;
inline constexpr std::uint8_t kOid = 0x06;
inline constexpr std::uint8_t kSequence = 0x30;
inline constexpr std::uint8_t kSet = 0x31;
}  // namespace der_tag

// The element at the start of `in`: definite lengths of up to four length
// octets, single-octet tags. nullopt when it is malformed or runs past `in`.
std::optional<DerElement> read_der(std::span<const std::uint8_t> in);

// Sequential reader over the contents of a constructed element.
class DerCursor {
public:
    explicit DerCursor(std::span<const std::uint8_t> contents) : rest_(contents) {}
    // The next element when it has `tag`; nullopt (and no advance) otherwise.
    std::optional<DerElement> next(std::uint8_t tag);
    // The next element whatever its tag.
    std::optional<DerElement> next_any();
    bool empty() const { return rest_.empty(); }

private:
    std::span<const std::uint8_t> rest_;
};

}  // namespace rk::sys::codesign
