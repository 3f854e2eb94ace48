// Shared objects shipped with the programs and loaded only when needed
// (LoadLibrary of a DLL beside the executable). A program run from the build
// tree finds them in the build tree's module folder; an installed program in
// <its folder>/../lib/rkupdater. No search path, environment variable or
// working folder takes part, so nothing else can stand in for them.
#pragma once

#include <filesystem>
#include <string_view>

namespace rk::sys {

// The host path the module of this file name would be loaded from (it may
// not exist).
std::filesystem::path program_module_path(std::string_view file_name);

}  // namespace rk::sys
