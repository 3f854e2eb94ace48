// Cabinets for tests and benchmarks: gcab's real ones, and stored (not
// compressed) ones written here byte by byte for what gcab will not make.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace rk::sys::cabinet::test {

struct StoredEntry {
    std::string name;  // stored bytes, written as they are
    std::string data;
    std::uint16_t attributes = 0x20;
    std::uint16_t dos_date = (44 << 9) | (5 << 5) | 1;  // 2024-05-01
    std::uint16_t dos_time = (12 << 11);                // 12:00:00
    // A size other than the data's (the data is stored all the same).
    std::optional<std::uint32_t> claimed_size;
    // An offset in the folder other than the running one.
    std::optional<std::uint32_t> claimed_offset;
    // iFolder: 0, or 0xFFFD-0xFFFF for a file continued across cabinets.
    std::uint16_t folder_index = 0;
};

inline StoredEntry stored(std::string name, std::string data, std::uint16_t attributes = 0x20) {
    StoredEntry e;
    e.name = std::move(name);
    e.data = std::move(data);
    e.attributes = attributes;
    return e;
}

inline StoredEntry claiming(StoredEntry e, std::optional<std::uint32_t> size, std::optional<std::uint32_t> offset = {}) {
    e.claimed_size = size;
    e.claimed_offset = offset;
    return e;
}

// One folder holding every entry's data in order, in blocks of 32 KiB with
// checksum 0; `compression` is written into the folder as it is.
std::vector<std::uint8_t> make_stored_cabinet(const std::vector<StoredEntry>& entries, std::uint16_t compression = 0);

// The same folder compressed with LZX (window 2^15) written as one
// uncompressed LZX block per 32 KiB frame: a real LZX stream for the
// library's LZX decoder, which no tool here can write.
std::vector<std::uint8_t> make_lzx_cabinet(const std::vector<StoredEntry>& entries);

// The same folder compressed with MSZIP by zlib, each 32 KiB frame with the
// previous one as its dictionary, as Microsoft's compressor does (gcab
// compresses every frame on its own).
std::vector<std::uint8_t> make_mszip_cabinet(const std::vector<StoredEntry>& entries);

// A stored cabinet that names `name` as both its previous and its next
// cabinet (a set that runs in a circle when `name` is the cabinet itself).
std::vector<std::uint8_t> make_set_cabinet(const std::vector<StoredEntry>& entries, const std::string& name);

// Runs gcab in `folder` over `names` (relative, `/` separated) into `out`;
// MSZIP when `compress`. DOS times come from the files' times in the
// process's TZ. False when gcab fails.
bool make_gcab_cabinet(const std::filesystem::path& folder, const std::vector<std::string>& names, bool compress,
                       const std::filesystem::path& out);

// Little-endian fields, for patching cabinets.
std::uint32_t get32(const std::vector<std::uint8_t>& in, std::size_t at);
void set32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v);

std::vector<std::uint8_t> read_file(const std::filesystem::path& path);
std::string read_text(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& bytes);

}  // namespace rk::sys::cabinet::test
