// A validation library for the tests. Its answers come from the
// environment: RK_TRUST_STUB_INIT (vxa_trust_init's result, default 0),
// RK_TRUST_STUB_ERROR and RK_TRUST_STUB_FLAGS (vxa_trust_validate's);
// RK_TRUST_STUB_LOG names a file that gets one line per call.
#include <cstdio>
#include <cstdlib>

namespace {

long env_number(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::strtol(v, nullptr, 0) : 0;
}

void note(const char* what, const char* path) {
    if (const char* log = std::getenv("RK_TRUST_STUB_LOG")) {
        if (FILE* f = std::fopen(log, "a")) {
            std::fprintf(f, "%s %s\n", what, path != nullptr ? path : "");
            std::fclose(f);
        }
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int vxa_trust_init() {
    note("init", nullptr);
    return static_cast<int>(env_number("RK_TRUST_STUB_INIT"));
}

extern "C" __attribute__((visibility("default"))) int vxa_trust_validate(const char* path, unsigned long long* flags) {
    note("validate", path);
    *flags = static_cast<unsigned long long>(env_number("RK_TRUST_STUB_FLAGS"));
    return static_cast<int>(env_number("RK_TRUST_STUB_ERROR"));
}

#ifndef RK_TRUST_STUB_WITHOUT_UNINIT
extern "C" __attribute__((visibility("default"))) void vxa_trust_uninit() { note("uninit", nullptr); }
#endif
