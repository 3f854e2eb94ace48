// Bounds-checked little-endian reads over a byte span (64-bit offsets, so
// offset + length never wraps for 32-bit file fields).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace rk::text {

class LeBytes {
public:
    explicit LeBytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint64_t size() const { return bytes_.size(); }
    bool has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    // Callers check has() first; out-of-range reads give 0 rather than UB.
    std::uint8_t u8(std::uint64_t offset) const { return has(offset, 1) ? bytes_[offset] : 0; }
    std::uint16_t u16(std::uint64_t offset) const {
        if (!has(offset, 2)) return 0;
        return static_cast<std::uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
    }
    std::uint32_t u32(std::uint64_t offset) const {
        if (!has(offset, 4)) return 0;
        return static_cast<std::uint32_t>(u16(offset)) | (static_cast<std::uint32_t>(u16(offset + 2)) << 16);
    }
    // The same reads, empty when the field runs past the end.
    std::optional<std::uint16_t> try_u16(std::uint64_t offset) const {
        return has(offset, 2) ? std::optional<std::uint16_t>(u16(offset)) : std::nullopt;
    }
    std::optional<std::uint32_t> try_u32(std::uint64_t offset) const {
        return has(offset, 4) ? std::optional<std::uint32_t>(u32(offset)) : std::nullopt;
    }

private:
    std::span<const std::uint8_t> bytes_;
};

}  // namespace rk::text
