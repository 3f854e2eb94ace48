#include "platform/system/random.h"

#include <sys/random.h>

#include <algorithm>
#include <array>
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

HRESULT create_guid(win::GUID& guid) {
    std::array<std::uint8_t, 16> bytes{};
    if (const DWORD error = random_bytes(bytes); error != win::kErrorSuccess) {
        return win::hresult_from_win32(error);
    }
    guid.Data1 = static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
                 static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
    guid.Data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
    // Version 4 in the top nibble of Data3, variant 10 in the top bits of Data4[0].
    guid.Data3 = static_cast<std::uint16_t>((bytes[6] & 0x0F) << 8 | bytes[7] | 0x4000);
    std::copy(bytes.begin() + 8, bytes.end(), guid.Data4.begin());
    guid.Data4[0] = static_cast<std::uint8_t>((guid.Data4[0] & 0x3F) | 0x80);
    return win::kSOk;
}

}  // namespace rk::sys
