// Path text helpers with the shell's meanings, for both separators.
#pragma once

#include <string>
#include <string_view>

namespace rk::app {

// PathRemoveFileSpecW: drops the last name and its separator ("C:\a\b" ->
// "C:\a", "/a/b" -> "/a"); a separator right after the root stays ("C:\b" ->
// "C:\", "/b" -> "/"); a bare name becomes empty.
std::wstring remove_file_spec(std::wstring_view path);

// The last name of a path (after the last '\' or '/').
std::wstring_view file_name_of(std::wstring_view path);

}  // namespace rk::app
