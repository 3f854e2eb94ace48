// Maps POSIX errno values to the Windows error numbers the seam reports.
#pragma once

#include "platform/errors/win_error.h"

namespace rk::win {

DWORD from_errno(int err);

}  // namespace rk::win
