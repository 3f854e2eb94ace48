// Conversions between the internal text type (std::wstring: UTF-32 on Linux,
// UTF-16 on Windows) and the byte encodings used at the edges.
//
// Strict forms return std::nullopt on malformed input (invalid or over-long
// UTF-8, surrogates encoded in UTF-8, unpaired UTF-16 surrogates, code points
// above U+10FFFF). Lenient forms replace each malformed sequence with U+FFFD
// and never fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rk::text {

inline constexpr char32_t kReplacementChar = 0xFFFD;

std::optional<std::wstring> utf8_to_wide_strict(std::string_view utf8);
// The same into a caller's buffer with room for utf8.size() units (a UTF-8
// text never takes more units than bytes), for large texts that need not be
// zero-filled first; false for malformed text.
bool utf8_to_wide_strict(std::string_view utf8, wchar_t* out, std::size_t& written);
std::wstring utf8_to_wide(std::string_view utf8);
// True when utf8_to_wide_strict would convert the text (nothing is
// converted: for texts parsed as UTF-8 in place).
bool is_valid_utf8(std::string_view utf8);

std::optional<std::string> wide_to_utf8_strict(std::wstring_view wide);
std::string wide_to_utf8(std::wstring_view wide);

// UTF-16 code units (host order) <-> wide.
std::optional<std::wstring> utf16_to_wide_strict(std::u16string_view utf16);
std::wstring utf16_to_wide(std::u16string_view utf16);
std::u16string wide_to_utf16(std::wstring_view wide);

// Lenient conversions that append to `out` (no temporary string); the
// formatter's hot path.
void append_utf8_to_wide(std::wstring& out, std::string_view utf8);
void append_wide_to_utf8(std::string& out, std::wstring_view wide);
void append_utf16_to_wide(std::wstring& out, std::u16string_view utf16);
void append_utf16_to_utf8(std::string& out, std::u16string_view utf16);

// UTF-16LE bytes <-> wide. An odd trailing byte is malformed (strict) or
// dropped as U+FFFD (lenient). No byte-order mark is added or expected.
std::optional<std::wstring> utf16le_to_wide_strict(std::span<const std::uint8_t> bytes);
std::wstring utf16le_to_wide(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> wide_to_utf16le(std::wstring_view wide);
void append_wide_to_utf16le(std::vector<std::uint8_t>& out, std::wstring_view wide);

// Number of UTF-16 code units the text takes (what Windows counts as its
// length); differs from size() on Linux for characters beyond the BMP.
std::size_t utf16_length(std::wstring_view wide);

}  // namespace rk::text
