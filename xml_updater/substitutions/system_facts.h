// Machine facts behind the built-in variables `plat` and `os`.
#pragma once

#include <string>
#include <string_view>

#include "platform/system/osinfo/os_info.h"

namespace XMLUpdater::v2 {

// `plat` from the machine name uname() reports: "32" for x86, "64" for
// x86-64, "ARM32" and "ARM64" for the ARM families, empty for any other
// processor (as Windows gives empty for an unknown architecture).
std::wstring platform_of_machine(std::wstring_view machine);

// `os`: "major.minor.build.revision" of the system version. The kernel has no
// fourth number, so the revision is 0 (a kernel 6.1.0 gives "6.1.0.0").
std::wstring os_version_text(const rk::sys::OsVersion& version);

}  // namespace XMLUpdater::v2
