// Stored names of cabinet files: decoding by the name's flag, and the check
// that a name stays below the folder it is extracted into.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::sys::cabinet {

// _A_NAME_IS_UTF: the stored name is UTF-8, else the ANSI code page.
inline constexpr unsigned kAttributeNameIsUtf = 0x80;

// The stored bytes as text: strict UTF-8 (nullopt when malformed) or the
// ANSI code page (every byte is a character).
std::optional<std::wstring> decode_stored_name(std::string_view bytes, bool utf8);

// The folders and the file name a stored name denotes, in order (`\` and `/`
// both separate, runs of them count as one). nullopt when the name would
// leave the destination or cannot be a file there: empty, a leading
// separator (absolute), a trailing one (no file name), a `.` or `..`
// component, a `:` (drive letter or stream), a control character (NUL
// included).
std::optional<std::vector<std::wstring>> split_stored_name(std::wstring_view name);

}  // namespace rk::sys::cabinet
