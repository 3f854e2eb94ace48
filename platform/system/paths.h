// Path text: Windows paths (as documents, configuration and components carry
// them) to host paths and back, and the `_wsplitpath` parts of a path.
//
// Components hold paths as wide "system paths": Windows forms ("C:\x\y",
// "c:/x", "x\y") or host forms that the seam handed out ("/var/lib/x", a known
// folder followed by "\Corvane\x"). to_host_path() turns either into the path
// the operating system opens. See docs/system.md for the mapping rules.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace rk::sys {

// The host path for a system path:
//   - `\` and `/` both separate; runs of separators collapse to one; a
//     trailing separator is dropped (except the root itself);
//   - "X:\a", "X:/a", "X:a" and "X:" (any drive letter): under the root prefix,
//     "." and ".." resolved by text and clamped at the root, as Win32 does;
//   - "\\?\X:\a": the same as "X:\a";
//   - a leading single separator: already a host absolute path (kept, not
//     prefixed again), "." and ".." resolved and clamped at "/";
//   - anything else is relative to the current directory: "." dropped,
//     ".." kept where it leads above the start;
//   - names keep their exact text (no case change, trailing dots and spaces
//     kept).
// nullopt when the path has no host meaning: empty, an embedded NUL, a
// character that is not valid Unicode, UNC ("\\server\share") and device
// ("\\.\", "\\?\UNC\") forms. Callers report ERROR_BAD_PATHNAME (161).
std::optional<std::filesystem::path> to_host_path(std::wstring_view system_path);

// The wide text of a host path (UTF-8 decoded; bytes that are not UTF-8 become
// U+FFFD). This is the form the seam hands out as a system path.
std::wstring wide_path(const std::filesystem::path& host_path);

// A host path as a Windows-style path for display: under the root prefix it
// becomes "C:\..." relative to the prefix, any other absolute path keeps its
// text with `\` separators ("\home\u"), a relative path only swaps
// separators (".\" goes in front of a first name that looks like a drive).
// to_host_path() of the result gives the original path back.
std::wstring to_windows_path(const std::filesystem::path& host_path);

// The four parts of `_wsplitpath`: drive ("X:" or empty), directory (up to and
// including the last separator), file name, extension (from the last '.' of
// the last component, dot included). Host paths have no drive.
struct SplitPath {
    std::wstring drive;
    std::wstring directory;
    std::wstring file_name;
    std::wstring extension;
};
SplitPath split_path(std::wstring_view path);

}  // namespace rk::sys
