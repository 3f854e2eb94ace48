// Whether a standard stream of this process is an interactive terminal
// (GetConsoleMode succeeding on its handle), for tools that draw progress.
#pragma once

namespace rk::sys {

enum class StandardStream { kInput, kOutput, kError };

bool is_terminal(StandardStream stream);

}  // namespace rk::sys
