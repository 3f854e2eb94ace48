// Cryptographic random bytes (BCryptGenRandom with the system-preferred
// generator); getrandom(2) on Linux.
#pragma once

#include <cstdint>
#include <span>

#include "platform/errors/win_error.h"

namespace rk::sys {

// Fills `out` completely; 0, or the Windows error of the failure.
DWORD random_bytes(std::span<std::uint8_t> out);

}  // namespace rk::sys
