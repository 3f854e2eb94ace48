// Windows type names used by the registry key classes.
#pragma once

#include <cstdint>

#include "platform/text/guid.h"
#include "platform/errors/win_error.h"
#include "platform/system/registry/registry.h"

namespace DiraDoro {

using rk::DWORD;
using rk::LONG;
using ULONG = std::uint32_t;
using ULONGLONG = std::uint64_t;
using rk::sys::reg::FILETIME;
using rk::sys::reg::HANDLE;
using rk::sys::reg::HKEY;
using rk::sys::reg::PSECURITY_DESCRIPTOR;
using rk::sys::reg::REGSAM;
using rk::sys::reg::SECURITY_ATTRIBUTES;
using rk::sys::reg::SECURITY_INFORMATION;
using rk::win::GUID;

}  // namespace DiraDoro
