// Facts that name the machine: the operating system's product name and the
// machine identifier (on Windows: the product name and version from the
// registry and RtlGetVersion, and HKLM\SOFTWARE\Microsoft\Cryptography's
// MachineGuid).
//
// Linux: the product name is os-release's PRETTY_NAME, else NAME and
// VERSION_ID, read from <root>/etc/os-release, else
// <root>/usr/lib/os-release; the machine identifier is
// <root>/etc/machine-id (32 hexadecimal digits) written as a GUID.
// Both files are read up to a bound (kMaxFactFileBytes).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/errors/win_error.h"

namespace rk::sys {

inline constexpr std::size_t kMaxFactFileBytes = 64 * 1024;

// 0 and the name, kErrorFileNotFound when no os-release file exists,
// kErrorInvalidData when it names no product, kErrorFileTooLarge beyond
// the bound.
DWORD os_product_name(std::wstring& name);

// 0 and "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" (lower case),
// kErrorFileNotFound when the file is missing, kErrorInvalidData when it
// does not hold exactly 32 hexadecimal digits (and a line end).
DWORD machine_guid(std::wstring& guid);

// The parsers behind them, for any text.
// os-release: "KEY=value" lines, values optionally in single or double
// quotes (backslash escapes inside double quotes); comments and blank lines
// skipped. Empty when no product name can be made.
std::wstring os_release_product_name(std::string_view os_release);
// Empty when the text is not a machine id.
std::wstring machine_id_to_guid(std::string_view machine_id);

}  // namespace rk::sys
