// This process's environment block (SetEnvironmentVariableW): read with
// std::getenv, changed here. Children started later inherit the change.
#pragma once

#include <string>
#include <vector>

#include "platform/errors/win_error.h"

namespace rk::sys {

// Sets `name` to `value`, or removes it when `value` is null. Not safe while
// another thread reads the environment.
DWORD set_environment_variable(const char* name, const char* value);

// GetEnvironmentStringsW: every "NAME=value" string of this process's
// environment, in its order (read as UTF-8).
std::vector<std::wstring> environment_block();

}  // namespace rk::sys
