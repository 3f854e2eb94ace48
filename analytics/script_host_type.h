// The names of "Analytics.ScriptHost.Type" and their numbers. Every name
// runs the Duktape host; the numbers keep their meaning for logs and
// settings. "default" would take Chakra's JsRT where that library exists;
// this platform has none, so it is the script environment, as "olddefault"
// and any unknown name are.
#pragma once

#include <memory>
#include <string>

#include "script_host/script_limits.h"

namespace Corvane::Script {
class IScriptEnvironmentFactory;
}

namespace Halden::Analytics::internal {

enum class ScriptHostType { kDefault = 0, kActiveScript = 1, kOldDefault = 2, kJsRT = 3, kLegacy = 4 };

// Exact names: "default", "activescript", "olddefault", "jsrt", "legacy";
// any other name is kDefault.
ScriptHostType ScriptHostTypeForName(const std::wstring& name);

std::unique_ptr<Corvane::Script::IScriptEnvironmentFactory> MakeEnvironmentFactory(
    ScriptHostType type, const Corvane::Script::ScriptLimits& limits);

}  // namespace Halden::Analytics::internal
