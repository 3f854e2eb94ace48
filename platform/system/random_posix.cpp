#include "platform/system/random.h"

#include <sys/random.h>

#include <cerrno>

#include "platform/errors/errno_map.h"

namespace rk::sys {

DWORD random_bytes(std::span<std::uint8_t> out) {
    std::size_t filled = 0;
    while (filled < out.size()) {
        const ssize_t n = ::getrandom(out.data() + filled, out.size() - filled, 0);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return win::from_errno(errno);
        }
        filled += static_cast<std::size_t>(n);
    }
    return win::kErrorSuccess;
}

}  // namespace rk::sys
