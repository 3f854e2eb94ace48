#include "platform/system/root_prefix.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace rk::sys {

std::filesystem::path root_prefix() {
    const char* root = std::getenv("RK_ROOT");
    return root != nullptr ? std::filesystem::path(root) : std::filesystem::path();
}

std::filesystem::path under_root(const std::filesystem::path& absolute) {
    const std::filesystem::path root = root_prefix();
    if (root.empty()) {
        return absolute;
    }
    return root / absolute.relative_path();
}

std::filesystem::path machine_runtime_dir() { return under_root("/run/rkupdater"); }

std::filesystem::path session_runtime_dir() {
    const bool rooted = !root_prefix().empty();
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg != nullptr && *xdg != '\0' && !rooted) {
        return std::filesystem::path(xdg) / "rkupdater";
    }
    return under_root("/run/user/" + std::to_string(::getuid()) + "/rkupdater");
}

}  // namespace rk::sys
