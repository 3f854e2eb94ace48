// This process's environment block (SetEnvironmentVariableW): read with
// std::getenv, changed here. Children started later inherit the change.
#pragma once

#include "platform/errors/win_error.h"

namespace rk::sys {

// Sets `name` to `value`, or removes it when `value` is null. Not safe while
// another thread reads the environment.
DWORD set_environment_variable(const char* name, const char* value);

}  // namespace rk::sys
