// Cryptographic random bytes (BCryptGenRandom with the system-preferred
// generator; getrandom(2) on Linux) and random GUIDs.
#pragma once

#include <cstdint>
#include <span>

#include "platform/errors/win_error.h"
#include "platform/text/guid.h"

namespace rk::sys {

// Fills `out` completely; 0, or the Windows error of the failure.
DWORD random_bytes(std::span<std::uint8_t> out);

// CoCreateGuid: a random GUID (RFC 4122 version 4, variant 1); S_OK, or the
// HRESULT of the random source's failure.
HRESULT create_guid(win::GUID& guid);

}  // namespace rk::sys
