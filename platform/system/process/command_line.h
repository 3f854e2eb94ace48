// Windows command lines split into arguments the way a Windows program's C
// runtime does it (the rules CommandLineToArgvW and the Microsoft C runtime
// document), so a program started on Linux sees the arguments it would see
// on Windows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rk::sys {

// Rules:
//   - The first argument is the program name: it runs to the first blank or
//     tab outside double quotes; quotes only group and are removed; a
//     backslash is an ordinary character there. A command line that starts
//     with a blank has an empty program name.
//   - Later arguments are separated by runs of blanks and tabs.
//   - A double quote opens or closes a quoted part; inside one, blanks and
//     tabs belong to the argument, and two double quotes in a row give one
//     literal double quote (the part stays open).
//   - 2n backslashes before a double quote give n backslashes and the quote
//     opens or closes; 2n+1 backslashes give n backslashes and a literal
//     quote. Backslashes not followed by a double quote are kept as they are.
//   - A quoted part left open at the end ends the argument.
// An empty command line gives no arguments.
std::vector<std::wstring> split_command_line(std::wstring_view command_line);

// The reverse: one argument quoted so split_command_line gives it back
// unchanged (used to build command lines in tests and tools).
std::wstring quote_argument(std::wstring_view argument);

}  // namespace rk::sys
