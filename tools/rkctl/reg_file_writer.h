// Writer of registry scripts in the layout regedit exports: header, one blank
// line, then each key as "[ROOT\path]" followed by its values and a blank
// line; CRLF line ends; hex lists wrapped at 80 columns with "\" and two
// spaces of indent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/rkctl/reg_file.h"

namespace rk::regfile {

enum class Encoding {
    kUtf16Le,  // with a byte-order mark, as regedit writes
    kUtf8,     // without a byte-order mark
};

// The text of the file. A REG_SZ value is written as "text" only when that
// form reads back to the same bytes (exactly one terminator, no embedded
// NUL or line break); REG_DWORD as dword: only with exactly 4 bytes; anything
// else as hex(N):, so every value round-trips byte for byte.
std::wstring write_reg_text(const RegFile& file);

std::vector<std::uint8_t> write_reg_file(const RegFile& file, Encoding encoding);

}  // namespace rk::regfile
