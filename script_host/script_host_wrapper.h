// "_scriptHost": lets scripts load more scripts into their own host.
//   "AddScript"(string text)          signature checked when verification is on
//   "AddScriptFromFile"(string path)  the file read whole (CFileUtility)
//   "CollectGarbage"(boolean full)
#pragma once

#include <memory>

#include "script_host/plugin_object.h"

namespace Corvane::Script {

class IScriptHost;

class ScriptHostWrapper : public PluginObject {
public:
    ScriptHostWrapper(IScriptEnvironmentFactory* environment, std::weak_ptr<IScriptHost> host);

    std::wstring GetName() override { return L"_scriptHost"; }

private:
    std::shared_ptr<IScriptHost> Host() const;
    void AddScript(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void AddScriptFromFile(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void CollectGarbage(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);

    std::weak_ptr<IScriptHost> host_;
};

}  // namespace Corvane::Script
