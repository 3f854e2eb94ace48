// "PluginFactory": creates plug-ins by name for scripts.
//
//   "Create"(string name)  -> object, or empty when no creator has that name
//   "CreateFromGuid"(any)  -> always empty
//
// The factory's own creators come first, then the process-wide ones.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "script_host/factory_if.h"
#include "script_host/plugin_object.h"

namespace Corvane::Script {

class CPluginFactory : public IFactory, public PluginObject {
public:
    // `environment` is handed to every creator; it must outlive the
    // factory's use by scripts (the environment owns the script engine, so
    // it does).
    explicit CPluginFactory(IScriptEnvironmentFactory* environment);

    void Register(const std::wstring& name, PluginCreator creator) override;
    static void RegisterProcessWide(const std::wstring& name, PluginCreator creator);

    // The native side of "Create": null when the name is unknown.
    std::shared_ptr<IScriptableObject> CreatePlugin(const std::wstring& name);

    std::wstring GetName() override { return L"PluginFactory"; }

private:
    void Create(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void CreateFromGuid(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);

    IScriptEnvironmentFactory* environment_;
    std::mutex mutex_;
    std::map<std::wstring, PluginCreator> creators_;
};

}  // namespace Corvane::Script
