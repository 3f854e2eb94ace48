// Where a cabinet's folders keep their data blocks, read from the cabinet's
// own header and folder entries (libmspack keeps these offsets to itself).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace rk::sys::cabinet {

struct FolderLayout {
    std::uint64_t first_block = 0;  // offset of the first CFDATA in the cabinet
    std::uint16_t blocks = 0;
    std::uint16_t compression = 0;  // typeCompress as stored
};

struct CabinetLayout {
    std::vector<FolderLayout> folders;  // in the cabinet's order
    std::uint8_t data_reserve = 0;      // cbCFData: reserved bytes in every CFDATA header
};

// The folders of a cabinet that stands alone. nullopt when the header or the
// entries are cut short, and for a member of a cabinet set (a previous or
// next cabinet named, or a file continued from or into another cabinet),
// whose folders are not whole in this one.
std::optional<CabinetLayout> read_cabinet_layout(std::span<const std::uint8_t> cabinet);

}  // namespace rk::sys::cabinet
