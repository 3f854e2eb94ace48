#include "platform/system/cabinet/test/cabinet_maker.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

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

void set32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

std::string quote(const std::string& s) {
    std::string q = "'";
    for (const char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

}  // namespace

std::vector<std::uint8_t> make_stored_cabinet(const std::vector<StoredEntry>& entries, std::uint16_t compression) {
    std::string data;
    for (const auto& e : entries) {
        data += e.data;
    }
    const std::size_t blocks = (data.size() + kBlock - 1) / kBlock;
    std::vector<std::uint8_t> out;
    out.insert(out.end(), {'M', 'S', 'C', 'F'});
    put32(out, 0);  // reserved
    put32(out, 0);  // cabinet size, set below
    put32(out, 0);
    put32(out, 0);  // first file entry, set below
    put32(out, 0);
    out.push_back(3);  // version 1.3
    out.push_back(1);
    put16(out, 1);  // folders
    put16(out, static_cast<std::uint32_t>(entries.size()));
    put16(out, 0);  // flags
    put16(out, 0x1234);  // set id
    put16(out, 0);       // index in the set
    const std::size_t folder_at = out.size();
    put32(out, 0);  // first data block, set below
    put16(out, static_cast<std::uint32_t>(blocks));
    put16(out, compression);
    set32(out, 16, static_cast<std::uint32_t>(out.size()));
    std::uint32_t offset = 0;
    for (const auto& e : entries) {
        put32(out, e.claimed_size.value_or(static_cast<std::uint32_t>(e.data.size())));
        put32(out, e.claimed_offset.value_or(offset));
        put16(out, 0);  // folder 0
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
        put32(out, 0);  // no checksum
        put16(out, static_cast<std::uint32_t>(n));
        put16(out, static_cast<std::uint32_t>(n));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    set32(out, 8, static_cast<std::uint32_t>(out.size()));
    return out;
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
