#include "analytics/script_host_type.h"

#include "script_host/script_environment_factories.h"

namespace Halden::Analytics::internal {

ScriptHostType ScriptHostTypeForName(const std::wstring& name) {
    static constexpr struct {
        const wchar_t* name;
        ScriptHostType type;
    } kNames[] = {
        {L"default", ScriptHostType::kDefault}, {L"activescript", ScriptHostType::kActiveScript},
        {L"olddefault", ScriptHostType::kOldDefault}, {L"jsrt", ScriptHostType::kJsRT},
        {L"legacy", ScriptHostType::kLegacy},
    };
    for (const auto& entry : kNames) {
        if (name == entry.name) {
            return entry.type;
        }
    }
    return ScriptHostType::kDefault;
}

std::unique_ptr<Corvane::Script::IScriptEnvironmentFactory> MakeEnvironmentFactory(
    ScriptHostType type, const Corvane::Script::ScriptLimits& limits) {
    using namespace Corvane::Script;
    switch (type) {
        case ScriptHostType::kActiveScript:
            return std::make_unique<ActiveScriptEnvironmentFactory>(limits);
        case ScriptHostType::kJsRT:
            return std::make_unique<JsRTEnvironmentFactory>(limits);
        case ScriptHostType::kLegacy:
            return std::make_unique<JS9ScriptEnvironmentFactory>(limits);
        case ScriptHostType::kDefault:
        case ScriptHostType::kOldDefault:
            break;
    }
    return std::make_unique<ScriptEnvironmentFactory>(limits);
}

}  // namespace Halden::Analytics::internal
