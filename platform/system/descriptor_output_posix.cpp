#include "platform/system/descriptor_output.h"

#include <unistd.h>

#include <cerrno>

#include "platform/errors/errno_map.h"

namespace rk::sys {

DWORD write_descriptor(int descriptor, std::string_view bytes) {
    if (descriptor < 0) {
        return win::kErrorInvalidHandle;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? win::from_errno(errno) : win::kErrorDiskFull;
        }
        done += static_cast<std::size_t>(n);
    }
    return win::kErrorSuccess;
}

}  // namespace rk::sys
