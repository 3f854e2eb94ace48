// Test helpers: the PE fixtures with version resources (testdata/README.md).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace rk::sys::test {

// RK_SOURCE_DIR is defined by each test target that uses the fixtures.
inline std::filesystem::path pe_fixtures() {
    return std::filesystem::path(RK_SOURCE_DIR) / "platform/system/version/testdata";
}

inline std::vector<std::uint8_t> read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The VS_VERSIONINFO block starts 6 bytes before its UTF-16 key.
inline std::size_t version_block(const std::vector<std::uint8_t>& bytes) {
    const std::u16string key = u"VS_VERSION_INFO";
    const std::string key_bytes(reinterpret_cast<const char*>(key.data()), key.size() * 2);
    return std::string(bytes.begin(), bytes.end()).find(key_bytes) - 6;
}

}  // namespace rk::sys::test
