#include "platform/system/code_integrity.h"

namespace rk::sys {

DWORD query_code_integrity_options(std::uint32_t& options) {
    options = 0;
    return win::kErrorNotSupported;
}

bool is_protected_process() { return false; }

}  // namespace rk::sys
