// The hosts' own start-up scripts, signed at build time with the script key
// (cmake/RkSigning.cmake): UTF-8 text with the signature line.
#pragma once

#include <string>

namespace Corvane::Script::BuiltinScripts {

// Defines __cleanAll, set and get on the global object.
const std::string& HostStartup();
// Defines AddScript, AddScriptFromFile and CollectGarbage over "_scriptHost".
const std::string& AsyncHostStartup();

}  // namespace Corvane::Script::BuiltinScripts
