// The cabinet file as one read-only view, opened once for the signature
// check and the extractor.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/system/file_view.h"

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
    std::span<const std::uint8_t> Bytes() const { return view_.bytes(); }
    // The view, for the signature check of the same bytes.
    const rk::sys::FileView& View() const { return view_; }
    // False once the file changed (size, change time) or was cut short since
    // it was opened: what was read from it then means nothing.
    bool Intact() const { return view_.intact(); }

private:
    rk::sys::FileView view_;
};

}  // namespace XMLUpdater::v2
