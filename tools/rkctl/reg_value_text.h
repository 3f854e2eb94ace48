// Registry values as operators read and type them, in reg.exe's manner.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors/win_error.h"

namespace rk::ctl {

// Shown for the default value, whose name is empty.
inline constexpr std::wstring_view kDefaultValueName = L"(Default)";
// reg.exe's separator of REG_MULTI_SZ items on the command line and in
// query output: the two characters '\' '0'.
inline constexpr std::wstring_view kMultiSzSeparator = L"\\0";

// "REG_SZ" ... "REG_QWORD"; other numbers as "0x%x".
std::wstring type_name(DWORD type);

// A type name (any case) or a number (decimal or 0x hex).
std::optional<DWORD> parse_type(std::wstring_view text);

// REG_SZ / REG_EXPAND_SZ: the text up to its terminator; REG_MULTI_SZ: the
// items joined by kMultiSzSeparator; REG_DWORD / REG_QWORD of the right size:
// "0x" hex; everything else: upper-case hex digits.
std::wstring display_data(DWORD type, const std::vector<std::uint8_t>& data);

// The bytes of `text` as a value of `type`: strings as UTF-16LE with their
// terminator; REG_MULTI_SZ items split at `separator` (empty items refused,
// an empty text is an empty list); REG_DWORD / REG_QWORD decimal or 0x hex
// within range; any other type hex digits, two per byte. nullopt with a
// message in `error` when the text does not fit the type.
std::optional<std::vector<std::uint8_t>> parse_data(DWORD type, std::wstring_view text, std::wstring_view separator,
                                                    std::wstring& error);

}  // namespace rk::ctl
