// The optional validation library of the trust content ("rk-av-trust.dll",
// an ELF shared object on Linux) and its three exports:
//
//   int  vxa_trust_init(void);                       0 on success
//   int  vxa_trust_validate(const char* path_utf8,   the file to classify
//                           unsigned long long* flags);  0 and the flags, or an error
//   void vxa_trust_uninit(void);
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

#include "platform/system/file.h"
#include "platform/system/shared_library.h"

namespace rk::trust {

class ValidationLibrary {
public:
    using InitFn = int (*)();
    using ValidateFn = int (*)(const char*, unsigned long long*);
    using UninitFn = void (*)();

    // Loads the library at `path`, which must be the file `verified` (its
    // identity is compared before and after loading, so a file swapped in
    // after its signature check is not used), finds the exports and
    // initializes it. Refusals are logged with their reasons; null then.
    static std::unique_ptr<ValidationLibrary> load(const std::wstring& path, const sys::File& verified);

    ValidationLibrary(const ValidationLibrary&) = delete;
    ValidationLibrary& operator=(const ValidationLibrary&) = delete;
    // vxa_trust_uninit, then unloads.
    ~ValidationLibrary();

    // The library's error code (0: `flags` holds its classification).
    int validate(const std::wstring& path, std::uint64_t& flags) const;

    const std::wstring& path() const { return path_; }

private:
    ValidationLibrary(std::wstring path, sys::SharedLibrary library, ValidateFn validate_fn, UninitFn uninit_fn);

    std::wstring path_;
    sys::SharedLibrary library_;
    ValidateFn validate_;
    UninitFn uninit_;
};

}  // namespace rk::trust
