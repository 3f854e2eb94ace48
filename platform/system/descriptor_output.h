// Writing to a C runtime descriptor (_write on Windows): standard error, or
// a descriptor a test or a tool hands to a logger.
#pragma once

#include <string_view>

#include "platform/errors/win_error.h"

namespace rk::sys {

// The descriptor of standard error in every C runtime.
inline constexpr int kStandardErrorDescriptor = 2;

// Writes every byte, going on after interrupted or partial writes.
// kErrorInvalidHandle for a negative descriptor; the Windows error of the
// failure otherwise (kErrorDiskFull when nothing more could be written).
DWORD write_descriptor(int descriptor, std::string_view bytes);

}  // namespace rk::sys
