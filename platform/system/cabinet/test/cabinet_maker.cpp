#include "platform/system/cabinet/test/cabinet_maker.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>

#include <zlib.h>

namespace rk::sys::cabinet::test {
namespace {

constexpr std::size_t kBlock = 32768;

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::string quote(const std::string& s) {
    std::string q = "'";
    for (const char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

// One LZX frame: an uncompressed block of the frame's bytes. The bit stream
// is 16-bit little-endian words read from their top bit: the first frame
// starts with the "no E8 translation" bit, then block type 3 (3 bits), the
// length (24 bits), padding to the next word, R0-R2 (12 bytes), the bytes,
// and a pad byte after an odd length.
std::vector<std::uint8_t> lzx_frame(std::string_view bytes, bool first) {
    const auto n = static_cast<std::uint32_t>(bytes.size());
    const unsigned header_bits = first ? 28 : 27;
    const std::uint32_t bits = (3u << 24 | n) << (32 - header_bits);
    std::vector<std::uint8_t> out;
    put16(out, bits >> 16);
    put16(out, bits & 0xFFFF);
    for (int r = 0; r < 3; ++r) {
        put32(out, 1);
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
    if (n % 2 == 1) {
        out.push_back(0);
    }
    return out;
}

// One MSZIP frame: "CK" and a raw deflate stream of the frame, which may
// refer back into the previous frame.
std::vector<std::uint8_t> mszip_frame(std::string_view bytes, std::string_view previous) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    if (!previous.empty()) {
        deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(previous.data()), static_cast<uInt>(previous.size()));
    }
    std::vector<std::uint8_t> out(2 + deflateBound(&z, bytes.size()));
    out[0] = 'C';
    out[1] = 'K';
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = out.data() + 2;
    z.avail_out = static_cast<uInt>(out.size() - 2);
    deflate(&z, Z_FINISH);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

enum class Packing { kStored, kLzx, kMszip };

std::vector<std::uint8_t> make_cabinet(const std::vector<StoredEntry>& entries, std::uint16_t compression,
                                       Packing packing, const std::string& set_name = {}) {
    std::string data;
    for (const auto& e : entries) {
        data += e.data;
    }
    const std::size_t blocks = (data.size() + kBlock - 1) / kBlock;
    std::vector<std::uint8_t> out = {'M', 'S', 'C', 'F'};
    put32(out, 0);  // reserved
    put32(out, 0);  // cabinet size, set below
    put32(out, 0);
    put32(out, 0);  // first file entry, set below
    put32(out, 0);
    out.push_back(3);  // version 1.3
    out.push_back(1);
    put16(out, 1);  // folders
    put16(out, static_cast<std::uint32_t>(entries.size()));
    put16(out, set_name.empty() ? 0 : 0x0003);  // flags: previous and next cabinet
    put16(out, 0x1234);  // set id
    put16(out, 0);       // index in the set
    if (!set_name.empty()) {
        for (const std::string& name : {set_name, std::string("disk"), set_name, std::string("disk")}) {
            out.insert(out.end(), name.begin(), name.end());
            out.push_back(0);
        }
    }
    const std::size_t folder_at = out.size();
    put32(out, 0);  // first data block, set below
    put16(out, static_cast<std::uint32_t>(blocks));
    put16(out, compression);
    set32(out, 16, static_cast<std::uint32_t>(out.size()));
    std::uint32_t offset = 0;
    for (const auto& e : entries) {
        put32(out, e.claimed_size.value_or(static_cast<std::uint32_t>(e.data.size())));
        put32(out, e.claimed_offset.value_or(offset));
        put16(out, e.folder_index);
        put16(out, e.dos_date);
        put16(out, e.dos_time);
        put16(out, e.attributes);
        out.insert(out.end(), e.name.begin(), e.name.end());
        out.push_back(0);
        offset += static_cast<std::uint32_t>(e.data.size());
    }
    set32(out, folder_at, static_cast<std::uint32_t>(out.size()));
    for (std::size_t at = 0; at < data.size(); at += kBlock) {
        const std::size_t n = std::min(kBlock, data.size() - at);
        const std::string_view frame(data.data() + at, n);
        const std::string_view previous = at == 0 ? std::string_view() : std::string_view(data).substr(at - kBlock, kBlock);
        const std::vector<std::uint8_t> payload = packing == Packing::kLzx     ? lzx_frame(frame, at == 0)
                                                  : packing == Packing::kMszip ? mszip_frame(frame, previous)
                                                                               : std::vector<std::uint8_t>(frame.begin(), frame.end());
        put32(out, 0);  // no checksum
        put16(out, static_cast<std::uint32_t>(payload.size()));
        put16(out, static_cast<std::uint32_t>(n));
        out.insert(out.end(), payload.begin(), payload.end());
    }
    set32(out, 8, static_cast<std::uint32_t>(out.size()));
    return out;
}

}  // namespace

void set32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

std::uint32_t get32(const std::vector<std::uint8_t>& in, std::size_t at) {
    return in[at] | in[at + 1] << 8 | in[at + 2] << 16 | static_cast<std::uint32_t>(in[at + 3]) << 24;
}

std::vector<std::uint8_t> make_stored_cabinet(const std::vector<StoredEntry>& entries, std::uint16_t compression) {
    return make_cabinet(entries, compression, Packing::kStored);
}

std::vector<std::uint8_t> make_lzx_cabinet(const std::vector<StoredEntry>& entries) {
    return make_cabinet(entries, 3 | (15 << 8), Packing::kLzx);
}

std::vector<std::uint8_t> make_mszip_cabinet(const std::vector<StoredEntry>& entries) {
    return make_cabinet(entries, 1, Packing::kMszip);
}

std::vector<std::uint8_t> make_set_cabinet(const std::vector<StoredEntry>& entries, const std::string& name) {
    return make_cabinet(entries, 0, Packing::kStored, name);
}

bool make_gcab_cabinet(const std::filesystem::path& folder, const std::vector<std::string>& names, bool compress,
                       const std::filesystem::path& out) {
    std::string command = "cd " + quote(folder.native()) + " && gcab -c " + (compress ? "-z " : "") + quote(out.native());
    for (const auto& n : names) {
        command += " " + quote(n);
    }
    return std::system(command.c_str()) == 0;
}

std::vector<std::uint8_t> read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string read_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace rk::sys::cabinet::test
