// Key paths written with their root first ("HKLM\SOFTWARE\Corvane",
// "HKEY_CURRENT_USER\Software\x"): the predefined key and the subkey.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/system/registry/registry.h"

namespace rk::sys::reg {

struct RootedKeyPath {
    HKEY root = nullptr;
    std::wstring subkey;  // empty for the root itself
};

// The root is a long name (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
// HKEY_CLASSES_ROOT, HKEY_USERS, HKEY_CURRENT_CONFIG) or its short form
// (HKLM, HKCU, HKCR, HKU, HKCC), in any case, ended by "\" or the end of the
// text; nullopt for any other root.
std::optional<RootedKeyPath> split_rooted_key_path(std::wstring_view path);

}  // namespace rk::sys::reg
