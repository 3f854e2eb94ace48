// A stand-in for the process logger front end that records every line.
// Linked into a test executable instead of the real logger: the object file
// defines IsLogLevelEnabled and LogMessage itself, so the linker never pulls
// the logging library's definitions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/logging/process_logger.h"

namespace rk::test {

struct LoggedLine {
    LogLevel level;
    std::wstring function;
    std::wstring text;
};

// The lines logged since the last call, oldest first.
std::vector<LoggedLine> take_logged_lines();
void clear_logged_lines();

}  // namespace rk::test
