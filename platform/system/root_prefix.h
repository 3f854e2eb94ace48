// The root prefix put in front of every machine-wide location, so tests and
// demos run as an ordinary user inside a folder of their own.
#pragma once

#include <filesystem>

namespace rk::sys {

// $RK_ROOT, or empty (the real root) when unset. Read on every call so tests
// can switch roots.
std::filesystem::path root_prefix();

// `absolute` (a POSIX path starting with '/') under the root prefix.
std::filesystem::path under_root(const std::filesystem::path& absolute);

// Machine-wide runtime folder that does not survive a reboot:
// <root>/run/rkupdater.
std::filesystem::path machine_runtime_dir();

// Per-login-session runtime folder: $XDG_RUNTIME_DIR/rkupdater, else
// /run/user/<uid>/rkupdater when that folder is writable, else
// $TMPDIR/rkupdater-<uid>. With RK_ROOT set it is always
// <root>/run/user/<uid>/rkupdater, so tests stay inside their root.
std::filesystem::path session_runtime_dir();

}  // namespace rk::sys
