// Small text helpers: case folding, trimming, splitting, hex.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rk::text {

// Locale-independent simple case mapping (Unicode tables, whatever the
// process locale is).
wchar_t to_lower(wchar_t c);
wchar_t to_upper(wchar_t c);
std::wstring to_lower(std::wstring_view s);
std::wstring to_upper(std::wstring_view s);
std::string to_lower_ascii(std::string_view s);
bool iequals(std::wstring_view a, std::wstring_view b);
bool istarts_with(std::wstring_view s, std::wstring_view prefix);
bool iends_with(std::wstring_view s, std::wstring_view suffix);

// Trims space, tab, CR, LF, VT and FF.
std::wstring_view trim(std::wstring_view s);
std::wstring_view trim_left(std::wstring_view s);
std::wstring_view trim_right(std::wstring_view s);
std::string_view trim(std::string_view s);

std::vector<std::wstring> split(std::wstring_view s, wchar_t separator);

std::string to_hex(std::span<const std::uint8_t> bytes, bool upper = false);
std::wstring to_hex_wide(std::span<const std::uint8_t> bytes, bool upper = false);
// Even number of hex digits only; nullopt otherwise.
std::optional<std::vector<std::uint8_t>> from_hex(std::string_view hex);
std::optional<std::vector<std::uint8_t>> from_hex(std::wstring_view hex);

}  // namespace rk::text
