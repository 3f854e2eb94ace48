#include "platform/system/environment.h"

#include <cerrno>
#include <cstdlib>

#include "platform/errors/errno_map.h"

namespace rk::sys {

DWORD set_environment_variable(const char* name, const char* value) {
    const int result = value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    return result == 0 ? win::kErrorSuccess : win::from_errno(errno);
}

}  // namespace rk::sys
