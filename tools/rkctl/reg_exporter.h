// Reads registry keys into the .reg model: one key with its values, or a
// whole tree depth-first (a key, its values, then each subkey in
// enumeration order), as regedit exports it.
#pragma once

#include <string>
#include <vector>

#include "platform/system/registry/registry.h"
#include "tools/rkctl/reg_file.h"

namespace rk::ctl {

class RegExporter {
public:
    // `view`: KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0 (native). Section names
    // keep the logical name given, as reg.exe does for a 32-bit export.
    explicit RegExporter(sys::reg::REGSAM view) : view_(view) {}

    // The key `name` and its values; with `subkeys`, the names of its direct
    // subkeys too. 0 or the registry's error (2 when the key is missing).
    LONG read_key(const regfile::KeyName& name, regfile::RegKey& out, std::vector<std::wstring>* subkeys) const;

    // `name` and everything below it, appended to `out`.
    LONG read_tree(const regfile::KeyName& name, regfile::RegFile& out) const;

private:
    sys::reg::REGSAM view_;
};

}  // namespace rk::ctl
