// Applies a parsed .reg file to the registry, all or nothing: every change
// happens inside one transaction per store (the machine store for
// HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CLASSES_ROOT and HKEY_CURRENT_CONFIG;
// the per-user store for HKEY_CURRENT_USER), and any failure rolls them all
// back. A file touching both stores commits the per-user store first; only a
// failure of the machine store's final commit (an I/O error) could then
// leave the per-user part applied.
#pragma once

#include <string>

#include "platform/system/registry/registry.h"
#include "tools/rkctl/reg_file.h"

namespace rk::ctl {

struct ImportFailure {
    int line = 0;  // of the key or value that failed; 0 for a commit failure
    std::wstring message;
};

class RegImporter {
public:
    // `view`: KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0 (native).
    explicit RegImporter(sys::reg::REGSAM view) : view_(view) {}

    // In file order: [-KEY] deletes the key tree (a missing key is fine),
    // [KEY] creates the key, "name"=- deletes a value (a missing one is
    // fine), other values are set. 0, or the error with `failure` filled.
    LONG apply(const regfile::RegFile& file, ImportFailure& failure) const;

private:
    LONG apply_all(const regfile::RegFile& file, ImportFailure& failure) const;
    LONG apply_key(const regfile::RegKey& key, ImportFailure& failure) const;
    LONG delete_tree(const regfile::RegKey& key) const;

    sys::reg::REGSAM view_;
};

}  // namespace rk::ctl
