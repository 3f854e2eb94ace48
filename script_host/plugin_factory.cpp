#include "script_host/plugin_factory.h"

namespace Corvane::Script {
namespace {

struct ProcessWideCreators {
    std::mutex mutex;
    std::map<std::wstring, PluginCreator> creators;
};

ProcessWideCreators& process_wide() {
    static ProcessWideCreators instance;
    return instance;
}

}  // namespace

CPluginFactory::CPluginFactory(IScriptEnvironmentFactory* environment)
    : PluginObject(environment, {Method(L"Create", {kArgString}, this, &CPluginFactory::Create),
                                 Method(L"CreateFromGuid", {kArgAny}, this, &CPluginFactory::CreateFromGuid)}),
      environment_(environment) {}

void CPluginFactory::Register(const std::wstring& name, PluginCreator creator) {
    std::lock_guard lock(mutex_);
    creators_[name] = std::move(creator);
}

void CPluginFactory::RegisterProcessWide(const std::wstring& name, PluginCreator creator) {
    auto& pw = process_wide();
    std::lock_guard lock(pw.mutex);
    pw.creators[name] = std::move(creator);
}

std::shared_ptr<IScriptableObject> CPluginFactory::CreatePlugin(const std::wstring& name) {
    PluginCreator creator;
    {
        std::lock_guard lock(mutex_);
        if (const auto it = creators_.find(name); it != creators_.end()) {
            creator = it->second;
        }
    }
    if (!creator) {
        auto& pw = process_wide();
        std::lock_guard lock(pw.mutex);
        if (const auto it = pw.creators.find(name); it != pw.creators.end()) {
            creator = it->second;
        }
    }
    return creator ? creator(environment_) : nullptr;
}

void CPluginFactory::Create(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) {
    result = ScriptVariable(CreatePlugin(args[0].GetString()));
}

void CPluginFactory::CreateFromGuid(ScriptVariable& result, std::uint32_t, const ScriptVariable*) { result.Clear(); }

}  // namespace Corvane::Script
