// Bounds-checked little-endian reads over a byte span (64-bit offsets, so
// offset + length never wraps for 32-bit file fields).
#pragma once

#include <cstdint>
#include <span>

namespace rk::sys::codesign {

class LeBytes {
public:
    explicit LeBytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    // Callers check has() first; out-of-range reads give 0 rather than UB.
    std::uint16_t u16(std::uint64_t offset) const {
        if (!has(offset, 2)) return 0;
        return static_cast<std::uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
    }
    std::uint32_t u32(std::uint64_t offset) const {
        if (!has(offset, 4)) return 0;
        return static_cast<std::uint32_t>(bytes_[offset]) | (static_cast<std::uint32_t>(bytes_[offset + 1]) << 8) |
               (static_cast<std::uint32_t>(bytes_[offset + 2]) << 16) |
               (static_cast<std::uint32_t>(bytes_[offset + 3]) << 24);
    }

private:
    std::span<const std::uint8_t> bytes_;
};

}  // namespace rk::sys::codesign
