#include "platform/system/environment.h"

#include <cerrno>
#include <cstdlib>

#include "platform/errors/errno_map.h"
#include "platform/text/utf.h"

extern char** environ;

namespace rk::sys {

DWORD set_environment_variable(const char* name, const char* value) {
    const int result = value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    return result == 0 ? win::kErrorSuccess : win::from_errno(errno);
}

std::vector<std::wstring> environment_block() {
    std::vector<std::wstring> block;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        block.push_back(text::utf8_to_wide(*entry));
    }
    return block;
}

}  // namespace rk::sys
