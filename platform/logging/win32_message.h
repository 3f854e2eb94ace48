// The system message text of a Windows error number, from the "win32" error
// category (no trailing line break).
#pragma once

#include <string>

#include "platform/errors/win_error.h"

namespace rk::logging {

std::wstring win32_message_text(rk::DWORD error);

}  // namespace rk::logging
