// Key names as operators type them ("HKLM\SOFTWARE\Corvane") and the
// predefined root key of each.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/system/registry/registry.h"
#include "tools/rkctl/reg_file.h"

namespace rk::ctl {

// "ROOT\path" with ROOT a long name (HKEY_LOCAL_MACHINE) or its short form
// (HKLM, HKCU, HKCR, HKU, HKCC), any case. nullopt with `error` set when the
// root is unknown or a component is empty or too long.
std::optional<regfile::KeyName> parse_key_argument(std::wstring_view text, std::wstring* error);

// The predefined key of a canonical root name (one of regfile::kRootNames).
sys::reg::HKEY root_key(const std::wstring& root);

// The canonical full name "ROOT\path".
std::wstring full_key_name(const regfile::KeyName& name);

// "The system cannot find the file specified. (2)": the Windows message of
// an error number with the number itself.
std::wstring error_text(LONG error);

}  // namespace rk::ctl
