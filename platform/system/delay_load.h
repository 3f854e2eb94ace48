// Delay-loaded libraries (cmake/RkDelayLoad.cmake): the resolver the
// generated stubs call on the first call of each function.
#pragma once

#include <cstdint>

extern "C" {

// Opens `library` (a SONAME, searched as the dynamic loader searches) unless
// `*handle` holds it already, looks up the function named at
// `names + offsets[index]`, stores it in `slots[index]` and returns it. A
// library or function that cannot be found ends the process with a message
// on standard error, as a missing dependency ends it at start-up.
void* rk_delay_load_resolve(const char* library, const char* names, const std::uint32_t* offsets, void** slots,
                            void** handle, std::uint32_t index);
}
