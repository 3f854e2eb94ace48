// Where a folder macro stands in a text: the leftmost match of the ECMAScript
// expression kMacroPattern ("$(" name ")", the name one or more characters
// that are neither '$' nor a parenthesis).
//
// A hand-written scan rather than std::wregex: the same matches in linear
// time, without the recursion depth libstdc++'s regex needs per character of
// a long name.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace DiraDoro {

inline constexpr std::wstring_view kMacroPattern = L"\\$\\([^$()]+\\)";

struct MacroMatch {
    std::size_t position;  // of the '$'
    std::size_t length;    // including "$(" and ")"
};

// The first match starting at or after `from`; nullopt when there is none.
std::optional<MacroMatch> find_macro(std::wstring_view text, std::size_t from = 0);

}  // namespace DiraDoro
