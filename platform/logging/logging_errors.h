// Error numbers the loggers return besides the common Windows ones
// (87 invalid parameter, 1627 no logger, 5023 invalid state).
#pragma once

#include <cstddef>

#include "platform/errors/win_error.h"

namespace ETWLogging {

inline constexpr rk::DWORD kErrorAlreadyInitialized = 20001;
inline constexpr rk::DWORD kErrorNotInitialized = 20002;

// Write_ex turns an exception thrown below it into this result.
inline constexpr rk::DWORD kErrorWriteFailed = 1;

// Message lengths of the loggers, in wide characters.
inline constexpr std::size_t kMessageBufferChars = 2080;    // the ETW write buffer
inline constexpr std::size_t kLongMessageChars = 4160;      // LogMessage truncates above this ...
inline constexpr std::size_t kTruncatedMessageChars = 2080;  // ... to this
inline constexpr std::size_t kShortcutBufferChars = 4159;   // fixed-level shortcuts and file logger Log

}  // namespace ETWLogging
