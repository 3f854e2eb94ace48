// The "ANSI code page" of text decoding (MultiByteToWideChar with CP_ACP).
// Linux has no such setting; the updater uses Windows-1252, the ANSI code page
// of the Western-language Windows systems the product's servers were written
// for, so decoding does not depend on the user's locale.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace rk::text {

// Every byte becomes one character: ASCII and 0xA0-0xFF as Latin-1, 0x80-0x9F
// through the Windows-1252 table (the five unassigned bytes map to the C1
// control of the same value, as MultiByteToWideChar does).
std::wstring ansi_to_wide(std::span<const std::uint8_t> bytes);

}  // namespace rk::text
