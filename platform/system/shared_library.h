// Libraries loaded at run time: LoadLibraryExW, GetProcAddress, FreeLibrary.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/errors/win_error.h"

namespace rk::sys {

inline constexpr DWORD kErrorModNotFound = 126;   // ERROR_MOD_NOT_FOUND
inline constexpr DWORD kErrorProcNotFound = 127;  // ERROR_PROC_NOT_FOUND

class SharedLibrary {
public:
    SharedLibrary() = default;
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;
    // FreeLibrary (dlclose); a pinned library stays mapped.
    ~SharedLibrary();

    // Loads the library at a host path, all symbols bound now and kept
    // local. `pinned` keeps it mapped for the life of the process
    // (GET_MODULE_HANDLE_EX_FLAG_PIN), for libraries whose code may run from
    // their own static destructors. Errors: 126 when the file is missing,
    // 193 when it cannot be loaded; `error_text` receives the loader's words.
    static DWORD load(const std::filesystem::path& host_path, bool pinned, SharedLibrary& out,
                      std::string& error_text);

    bool is_loaded() const { return handle_ != nullptr; }
    // GetProcAddress: null when the library has no such export.
    void* symbol(const char* name) const;
    template <typename Function>
    Function function(const char* name) const {
        return reinterpret_cast<Function>(symbol(name));
    }

private:
    void* handle_ = nullptr;
};

}  // namespace rk::sys
