#include "platform/system/delay_load.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {

// Recursive: opening a library runs its constructors, which may (through a
// callback of ours) reach the stub of another delay-loaded library.
std::recursive_mutex g_mutex;

[[noreturn]] void fail(const char* library, const char* function) {
    const char* reason = ::dlerror();
    std::fprintf(stderr, "cannot load %s from %s: %s\n", function, library, reason != nullptr ? reason : "not found");
    std::abort();
}

}  // namespace

extern "C" void* rk_delay_load_resolve(const char* library, const char* names, const std::uint32_t* offsets,
                                       void** slots, void** handle, std::uint32_t index) {
    const std::lock_guard lock(g_mutex);
    const char* name = names + offsets[index];
    if (*handle == nullptr) {
        *handle = ::dlopen(library, RTLD_NOW | RTLD_LOCAL);
        if (*handle == nullptr) {
            fail(library, name);
        }
    }
    void* function = ::dlsym(*handle, name);
    if (function == nullptr) {
        fail(library, name);
    }
    // The stubs read the slot without the lock.
    __atomic_store_n(&slots[index], function, __ATOMIC_RELEASE);
    return function;
}
