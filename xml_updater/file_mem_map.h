// The cabinet file as one read-only block of memory, for the extractor and
// the signature check to see the same bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace XMLUpdater::v2 {

// Cabinets larger than this are refused before they are read.
inline constexpr std::uint64_t kMaxCabinetBytes = 2ull << 30;

class CFileMemMap {
public:
    CFileMemMap() = default;
    CFileMemMap(const CFileMemMap&) = delete;
    CFileMemMap& operator=(const CFileMemMap&) = delete;

    // Opens the whole file read-only; logs "Failed to open the file: %d\n"
    // or "Failed to map file to memory" and returns false on failure.
    bool Init(const std::wstring& path);
    std::span<const std::uint8_t> Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace XMLUpdater::v2
