// Inputs of the operator commands, bounded before they are read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace rk::ctl {

// Limits of the operator commands' inputs (docs/rkctl.md).
inline constexpr std::uintmax_t kMaxDocumentInputBytes = 64u << 20;   // update documents, signed scripts
inline constexpr std::uintmax_t kMaxRegImportBytes = 256u << 20;      // .reg files
inline constexpr std::uintmax_t kMaxKeyFileBytes = 1u << 20;          // PEM keys

enum class BoundedRead { kOk, kCannotRead, kTooLarge };

// The whole of a regular file of at most `limit` bytes. The size is checked
// before anything is read, and the bytes are read once into a buffer of
// that size and one spare byte, for a terminator (no growth by doubling), so
// memory is the file's size.
BoundedRead read_bounded_file(const std::filesystem::path& path, std::uintmax_t limit, std::string& out);
BoundedRead read_bounded_file(const std::filesystem::path& path, std::uintmax_t limit, std::vector<std::uint8_t>& out);

// Opens a regular file of at most `limit` bytes to be read in pieces (the
// size is checked before anything is read; `size` receives it).
BoundedRead open_bounded_file(const std::filesystem::path& path, std::uintmax_t limit, std::ifstream& in,
                              std::uintmax_t& size);

// "64 MiB" and the like, for messages.
std::string size_text(std::uintmax_t bytes);

}  // namespace rk::ctl
