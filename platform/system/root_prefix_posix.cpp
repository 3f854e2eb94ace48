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
    const std::filesystem::path user_run = under_root("/run/user/" + std::to_string(::getuid()));
    if (rooted || ::access(user_run.c_str(), W_OK) == 0) {
        return user_run / "rkupdater";
    }
    // No login manager made a runtime folder for this user (a cron job, a
    // container): fall back to a per-user folder in the temporary folder.
    const char* tmp = std::getenv("TMPDIR");
    const std::filesystem::path base = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    return base / ("rkupdater-" + std::to_string(::getuid()));
}

}  // namespace rk::sys
