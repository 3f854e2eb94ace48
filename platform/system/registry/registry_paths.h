// Where the registry stores live and how the 32-bit view maps key paths.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/errors/win_error.h"

namespace rk::sys::reg {

// <root>/var/lib/rkupdater/registry.db: HKLM, HKU, HKCR, HKCC.
std::filesystem::path machine_store_file();
// HKCU: $XDG_CONFIG_HOME/rkupdater/registry.db (default ~/.config), put
// under the root prefix when RK_ROOT is set.
std::filesystem::path user_store_file();
// Volatile keys: registry-volatile.db in the machine runtime folder and in
// the session runtime folder.
std::filesystem::path machine_volatile_file();
std::filesystem::path user_volatile_file();

inline constexpr std::wstring_view kWow6432Node = L"WOW6432Node";

// The physical path of a full key path seen through the view bits of an
// access mask, as on 64-bit Windows 7 and later: with KEY_WOW64_32KEY,
// HKEY_LOCAL_MACHINE\SOFTWARE and the keys below it move under
// SOFTWARE\WOW6432Node, except the shared keys (Classes, Policies, Clients and
// the others Windows shares); the redirected Classes subkeys (CLSID,
// Interface, ...) of HKLM and HKCU move under Classes\Wow6432Node. Paths
// already inside a WOW6432Node and everything else are unchanged.
std::wstring redirect_for_view(const std::wstring& path, DWORD sam);

}  // namespace rk::sys::reg
