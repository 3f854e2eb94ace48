// Parser of registry scripts (".reg" files, "Windows Registry Editor Version
// 5.00"). Input is untrusted: every failure is a value naming its line.
//
// Accepted encodings: UTF-16LE with a byte-order mark (what regedit writes)
// and UTF-8 with or without one. Accepted syntax:
//   ; comment                        (a line whose first non-blank is ';')
//   [ROOT\path]   [-ROOT\path]       (a key to create / a key tree to delete)
//   "name"=...    @=...              (a named / the default value)
//     "text"                         REG_SZ, escapes \\ and \" only
//     dword:1-8 hex digits           REG_DWORD
//     hex:bytes  hex(N):bytes        REG_BINARY / type N (N in hex)
//     -                              delete the value
// Bytes are comma-separated pairs of hex digits; a line ending in '\'
// continues a hex list on the next line, as regedit wraps long values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "tools/rkctl/reg_file.h"

namespace rk::regfile {

// The longest line, in the file's bytes, refused before it is decoded: a
// line is read and decoded whole (4 bytes a character), so this bounds the
// memory a parse needs beyond its model. regedit wraps hex lists at 80
// columns; only a string value makes a long line.
inline constexpr std::size_t kMaxLineBytes = 4u << 20;

struct ParseError {
    int line = 0;  // 1-based line of the fault
    std::wstring message;
};

struct ParseResult {
    std::optional<RegFile> file;  // set on success
    ParseError error;             // meaningful when file is empty
    bool ok() const { return file.has_value(); }
};

// Where a parse reads a file from, in order: fills up to `size` bytes at
// `data` and returns how many, 0 at the end, -1 when the file cannot be
// read.
using ByteSource = std::function<std::ptrdiff_t(std::uint8_t* data, std::size_t size)>;

// Parses a whole file, reading it as it goes (memory holds the model and
// the lines in use, not the file). Never throws.
ParseResult parse_reg_file(const ByteSource& source);
// The same for a file in memory; never reads outside `bytes`.
ParseResult parse_reg_file(std::span<const std::uint8_t> bytes);

}  // namespace rk::regfile
