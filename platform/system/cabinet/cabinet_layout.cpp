#include "platform/system/cabinet/cabinet_layout.h"

#include <algorithm>
#include <cstring>

#include "platform/text/le_bytes.h"

namespace rk::sys::cabinet {
namespace {

constexpr std::size_t kHeaderBytes = 36;
constexpr std::uint16_t kFlagPrevCabinet = 0x0001;
constexpr std::uint16_t kFlagNextCabinet = 0x0002;
constexpr std::uint16_t kFlagReservePresent = 0x0004;
constexpr std::size_t kFolderEntryBytes = 8;
constexpr std::size_t kFileEntryBytes = 16;
// iFolder values from ifoldCONTINUED_FROM_PREV up name another cabinet.
constexpr std::uint16_t kFirstContinuedIndex = 0xFFFD;
// CB_MAX_FILENAME plus its terminating NUL.
constexpr std::size_t kMaxNameBytes = 257;

// The offset after the NUL that ends the name at `at`; 0 when none does.
std::uint64_t after_name(std::span<const std::uint8_t> bytes, std::uint64_t at) {
    const std::uint64_t limit = std::min<std::uint64_t>(bytes.size() - at, kMaxNameBytes);
    const void* nul = std::memchr(bytes.data() + at, 0, limit);
    return nul == nullptr ? 0 : static_cast<const std::uint8_t*>(nul) - bytes.data() + 1;
}

}  // namespace

std::optional<CabinetLayout> read_cabinet_layout(std::span<const std::uint8_t> cabinet) {
    const text::LeBytes r(cabinet);
    if (!r.has(0, kHeaderBytes) || std::memcmp(cabinet.data(), "MSCF", 4) != 0) {
        return std::nullopt;
    }
    const std::uint16_t flags = r.u16(30);
    if ((flags & (kFlagPrevCabinet | kFlagNextCabinet)) != 0) {
        return std::nullopt;
    }
    CabinetLayout layout;
    std::uint64_t at = kHeaderBytes;
    std::size_t folder_reserve = 0;
    if ((flags & kFlagReservePresent) != 0) {
        if (!r.has(at, 4)) {
            return std::nullopt;
        }
        const std::uint16_t header_reserve = r.u16(at);
        folder_reserve = r.u8(at + 2);
        layout.data_reserve = r.u8(at + 3);
        at += 4 + header_reserve;
    }
    const std::uint16_t folders = r.u16(26);
    layout.folders.reserve(folders);
    for (std::uint16_t i = 0; i < folders; ++i, at += kFolderEntryBytes + folder_reserve) {
        if (!r.has(at, kFolderEntryBytes + folder_reserve)) {
            return std::nullopt;
        }
        layout.folders.push_back({r.u32(at), r.u16(at + 4), r.u16(at + 6)});
    }
    at = r.u32(16);
    for (std::uint16_t i = 0, files = r.u16(28); i < files; ++i) {
        if (!r.has(at, kFileEntryBytes + 1) || r.u16(at + 8) >= kFirstContinuedIndex) {
            return std::nullopt;
        }
        at = after_name(cabinet, at + kFileEntryBytes);
        if (at == 0) {
            return std::nullopt;
        }
    }
    return layout;
}

}  // namespace rk::sys::cabinet
