#include "script_host/script_host_wrapper.h"

#include <stdexcept>

#include "script_host/file_utility.h"
#include "script_host/script_host_if.h"
#include "script_host/thrown_from.h"

namespace Corvane::Script {

ScriptHostWrapper::ScriptHostWrapper(IScriptEnvironmentFactory* environment, std::weak_ptr<IScriptHost> host)
    : PluginObject(environment,
                   {Method(L"AddScript", {kArgString}, this, &ScriptHostWrapper::AddScript),
                    Method(L"AddScriptFromFile", {kArgString}, this, &ScriptHostWrapper::AddScriptFromFile),
                    Method(L"CollectGarbage", {kArgBoolean}, this, &ScriptHostWrapper::CollectGarbage)}),
      host_(std::move(host)) {}

std::shared_ptr<IScriptHost> ScriptHostWrapper::Host() const {
    auto host = host_.lock();
    if (!host) {
        throw std::runtime_error("Script host is gone" + ThrownFrom(__FILE__, __LINE__));
    }
    return host;
}

void ScriptHostWrapper::AddScript(ScriptVariable&, std::uint32_t, const ScriptVariable* args) {
    Host()->AddScript(args[0].GetString(), L"");
}

void ScriptHostWrapper::AddScriptFromFile(ScriptVariable&, std::uint32_t, const ScriptVariable* args) {
    const std::wstring& path = args[0].GetString();
    Host()->AddScript(CFileUtility::ReadFile(path), path);
}

void ScriptHostWrapper::CollectGarbage(ScriptVariable&, std::uint32_t, const ScriptVariable* args) {
    Host()->CollectGarbage(args[0].GetBool());
}

}  // namespace Corvane::Script
