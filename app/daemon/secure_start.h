// Secure start: the Linux counterpart of restricting DLL loading to the
// system folder (SetDefaultDllDirectories with LOAD_LIBRARY_SEARCH_SYSTEM32).
//
// Called first in main(), before any other code runs:
//   1. umask 022, so nothing the updater creates (downloaded installers,
//      destination folders) is writable by others whatever the parent set;
//   2. descriptors 0-2 are made valid (/dev/null when closed), so no file
//      the process opens later becomes its standard output or error;
//   3. every inherited descriptor above 2 is closed;
//   4. when the environment carries variables that make the dynamic loader
//      or the C library load code from elsewhere (LD_PRELOAD,
//      LD_LIBRARY_PATH, LD_AUDIT, GCONV_PATH), they are removed and the
//      program executes itself again, so neither this process nor the
//      installers it starts run injected code. The process id stays.
#pragma once

#include <string>
#include <vector>

namespace rk::app {

// The variables removed by step 4.
inline constexpr const char* kLoaderVariables[] = {"LD_PRELOAD", "LD_LIBRARY_PATH", "LD_AUDIT", "GCONV_PATH"};

// Which of kLoaderVariables `environment` ("NAME=value" entries) sets.
std::vector<std::string> LoaderVariablesIn(const char* const* environment);

// The steps above; returns only when no re-execution was needed (true) or
// when one of the steps failed (false: start-up goes on).
bool SecureStart(char* const* argv);

}  // namespace rk::app
