#include "platform/system/version/pe_version_reader.h"

#include <optional>

#include "platform/text/le_bytes.h"

namespace rk::sys {
namespace {

constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kVsVersionInfoName = 1;
constexpr std::uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kCoffHeaderSize = 20;
constexpr std::size_t kResourceDirectorySize = 16;
constexpr std::size_t kResourceEntrySize = 8;
// VS_FIXEDFILEINFO: dwSignature, dwStrucVersion, then the file version.
constexpr std::size_t kFixedFileInfoSize = 52;
constexpr std::size_t kFixedFileVersionMsOffset = 8;
// "VS_VERSION_INFO" and its terminator, in UTF-16 code units.
constexpr std::size_t kVersionInfoKeyUnits = 16;

using Reader = text::LeBytes;

struct Section {
    std::uint32_t virtual_address = 0;
    std::uint32_t raw_size = 0;
    std::uint32_t raw_pointer = 0;
};

struct Image {
    std::uint32_t resource_rva = 0;
    std::uint32_t sections_offset = 0;
    std::uint16_t section_count = 0;
};

std::optional<Image> parse_headers(const Reader& r) {
    if (r.try_u16(0) != std::optional<std::uint16_t>(0x5A4D)) {  // "MZ"
        return std::nullopt;
    }
    const auto pe = r.try_u32(0x3C);
    if (!pe || r.try_u32(*pe) != std::optional<std::uint32_t>(kPeSignature)) {
        return std::nullopt;
    }
    const std::uint64_t coff = std::uint64_t{*pe} + 4;
    const auto sections = r.try_u16(coff + 2);
    const auto optional_size = r.try_u16(coff + 16);
    const std::uint64_t opt = coff + kCoffHeaderSize;
    const auto magic = r.try_u16(opt);
    if (!sections || !optional_size || !magic) {
        return std::nullopt;
    }
    std::uint64_t count_offset = 0;
    if (*magic == kMagicPe32) {
        count_offset = 92;
    } else if (*magic == kMagicPe32Plus) {
        count_offset = 108;
    } else {
        return std::nullopt;
    }
    const auto directories = r.try_u32(opt + count_offset);
    if (!directories || *directories <= kResourceDirectoryIndex ||
        count_offset + 4 + 8 * (kResourceDirectoryIndex + 1) > *optional_size) {
        return std::nullopt;
    }
    const auto rva = r.try_u32(opt + count_offset + 4 + 8 * kResourceDirectoryIndex);
    if (!rva || *rva == 0) {
        return std::nullopt;
    }
    const std::uint64_t table = opt + *optional_size;
    if (table > r.size()) {
        return std::nullopt;
    }
    return Image{*rva, static_cast<std::uint32_t>(table), *sections};
}

// The file offset of an RVA, through the section that holds it.
std::optional<std::uint64_t> file_offset(const Reader& r, const Image& image, std::uint32_t rva) {
    for (std::uint32_t i = 0; i < image.section_count; ++i) {
        const std::uint64_t h = std::uint64_t{image.sections_offset} + i * kSectionHeaderSize;
        const auto va = r.try_u32(h + 12);
        const auto raw_size = r.try_u32(h + 16);
        const auto raw_pointer = r.try_u32(h + 20);
        if (!va || !raw_size || !raw_pointer) {
            return std::nullopt;
        }
        if (rva >= *va && rva - *va < *raw_size) {
            return std::uint64_t{*raw_pointer} + (rva - *va);
        }
    }
    return std::nullopt;
}

// The entry of one resource directory level: `wanted` by id, or the first
// entry when `wanted` is absent (or, with `fallback_first`, not found).
std::optional<std::uint32_t> find_entry(const Reader& r, std::uint64_t directory, std::optional<std::uint32_t> wanted,
                                        bool fallback_first) {
    const auto named = r.try_u16(directory + 12);
    const auto ids = r.try_u16(directory + 14);
    if (!named || !ids) {
        return std::nullopt;
    }
    const std::uint32_t total = std::uint32_t{*named} + *ids;
    std::optional<std::uint32_t> first;
    for (std::uint32_t i = 0; i < total; ++i) {
        const std::uint64_t e = directory + kResourceDirectorySize + std::uint64_t{i} * kResourceEntrySize;
        const auto name = r.try_u32(e);
        const auto target = r.try_u32(e + 4);
        if (!name || !target) {
            return std::nullopt;
        }
        if (!first) {
            first = *target;
        }
        if (!wanted) {
            return target;
        }
        if ((*name & kSubdirectoryFlag) == 0 && *name == *wanted) {
            return target;
        }
    }
    return fallback_first ? first : std::nullopt;
}

}  // namespace

VersionInfoStatus read_file_version(std::span<const std::uint8_t> bytes, FixedFileVersion& version) {
    const Reader r(bytes);
    const auto image = parse_headers(r);
    if (!image) {
        return VersionInfoStatus::NoVersionInfo;
    }
    const auto root = file_offset(r, *image, image->resource_rva);
    if (!root) {
        return VersionInfoStatus::NoVersionInfo;
    }
    // type -> name -> language -> data entry; subdirectory offsets are
    // relative to the resource section's start.
    const auto type = find_entry(r, *root, kRtVersion, false);
    if (!type || (*type & kSubdirectoryFlag) == 0) {
        return VersionInfoStatus::NoVersionInfo;
    }
    const auto name = find_entry(r, *root + (*type & ~kSubdirectoryFlag), kVsVersionInfoName, true);
    if (!name || (*name & kSubdirectoryFlag) == 0) {
        return VersionInfoStatus::NoVersionInfo;
    }
    const auto language = find_entry(r, *root + (*name & ~kSubdirectoryFlag), std::nullopt, false);
    if (!language || (*language & kSubdirectoryFlag) != 0) {
        return VersionInfoStatus::NoVersionInfo;
    }
    const auto data_rva = r.try_u32(*root + *language);
    const auto data_size = r.try_u32(*root + *language + 4);
    if (!data_rva || !data_size || *data_size == 0) {
        return VersionInfoStatus::NoVersionInfo;
    }
    const auto data = file_offset(r, *image, *data_rva);
    if (!data || *data > r.size() || r.size() - *data < *data_size) {
        return VersionInfoStatus::DataUnreadable;
    }

    // VS_VERSIONINFO: wLength, wValueLength, wType, szKey, padding to 4, Value.
    const auto length = r.try_u16(*data);
    const auto value_length = r.try_u16(*data + 2);
    constexpr std::uint64_t kValueOffset = (6 + kVersionInfoKeyUnits * 2 + 3) / 4 * 4;
    if (!length || !value_length || *length > *data_size || *length < kValueOffset) {
        return VersionInfoStatus::QueryFailed;
    }
    if (*value_length == 0) {
        return VersionInfoStatus::EmptyRootBlock;
    }
    if (*value_length < kFixedFileInfoSize || kValueOffset + kFixedFileInfoSize > *length) {
        return VersionInfoStatus::QueryFailed;
    }
    const std::uint64_t fixed = *data + kValueOffset;
    version.file_version_ms = r.try_u32(fixed + kFixedFileVersionMsOffset).value_or(0);
    version.file_version_ls = r.try_u32(fixed + kFixedFileVersionMsOffset + 4).value_or(0);
    return VersionInfoStatus::Ok;
}

}  // namespace rk::sys
