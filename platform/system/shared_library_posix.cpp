#include "platform/system/shared_library.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace rk::sys {

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) {
            ::dlclose(handle_);
        }
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

SharedLibrary::~SharedLibrary() {
    if (handle_ != nullptr) {
        ::dlclose(handle_);
    }
}

DWORD SharedLibrary::load(const std::filesystem::path& host_path, bool pinned, SharedLibrary& out,
                          std::string& error_text) {
    out = SharedLibrary();
    error_text.clear();
    // A bare name would make dlopen search the library path.
    const std::filesystem::path path = host_path.has_parent_path() ? host_path : std::filesystem::path("./") / host_path;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | (pinned ? RTLD_NODELETE : 0));
    if (handle == nullptr) {
        const char* text = ::dlerror();
        error_text = text != nullptr ? text : "dlopen failed";
        struct stat st{};
        return ::stat(path.c_str(), &st) == 0 ? win::kErrorBadExeFormat : kErrorModNotFound;
    }
    out.handle_ = handle;
    return win::kErrorSuccess;
}

void* SharedLibrary::symbol(const char* name) const {
    return handle_ != nullptr ? ::dlsym(handle_, name) : nullptr;
}

}  // namespace rk::sys
