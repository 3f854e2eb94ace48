// Secure start: the Linux counterpart of restricting DLL loading to the
// system folder (SetDefaultDllDirectories with LOAD_LIBRARY_SEARCH_SYSTEM32).
//
// Called first in main(). The program starts itself once more on a cleaned
// state, because by the time main() runs the dynamic loader has already
// honoured the environment and library constructors (LTTng-UST among them)
// have opened descriptors that must not be pulled from under them:
//
//   first image: umask 022 (nothing the updater creates, downloaded
//     installers and their folders included, is writable by others);
//     descriptors 0-2 made valid (/dev/null when closed, so a file opened
//     later never becomes standard output or error); every inherited
//     descriptor above 2 marked close-on-exec; LD_PRELOAD, LD_LIBRARY_PATH,
//     LD_AUDIT and GCONV_PATH removed; then the program executes itself with
//     the marker variable kSecureStartMarker set.
//   second image: the marker is removed and start-up goes on, with no
//     inherited descriptor and nothing injected. The process id stays.
//
// A second image that still finds a loader variable (a parent that set the
// marker itself) removes it and executes once more.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace rk::sys {

// The variables removed before the program executes itself.
inline constexpr const char* kLoaderVariables[] = {"LD_PRELOAD", "LD_LIBRARY_PATH", "LD_AUDIT", "GCONV_PATH"};
// Set only between the two images.
inline constexpr char kSecureStartMarker[] = "RK_SECURE_START";

// Which of kLoaderVariables `environment` ("NAME=value" entries) sets.
std::vector<std::string> LoaderVariablesIn(const char* const* environment);

// The steps above. Returns in the second image (true), or in the first when
// a step failed (false: start-up goes on as it is). `stay_first`, when given,
// is asked in the first image once umask and descriptors are set: true
// returns there (true) without executing again, for a start that will only
// refuse to run (a second copy of the daemon), so its start-up is not paid
// twice.
bool SecureStart(char* const* argv, const std::function<bool()>& stay_first = {});

}  // namespace rk::sys
