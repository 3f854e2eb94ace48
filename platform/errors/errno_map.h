// Maps POSIX errno values to the Windows error numbers the seam reports.
#pragma once

#include "platform/errors/win_error.h"

namespace rk::win {

// The Windows error a Windows call would most likely have reported for the
// same failure; errno values without a counterpart give
// kErrorInvalidFunction, 0 gives kErrorSuccess.
DWORD from_errno(int err);

}  // namespace rk::win
