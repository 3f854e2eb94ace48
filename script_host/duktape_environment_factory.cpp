#include "script_host/duktape_environment_factory.h"

#include "script_host/duktape/duktape_script_host.h"
#include "script_host/plugin_method_table.h"

namespace Corvane::Script {

DuktapeEnvironmentFactory::DuktapeEnvironmentFactory(int type, const ScriptLimits& limits)
    : type_(type), limits_(limits) {}

DuktapeEnvironmentFactory::~DuktapeEnvironmentFactory() = default;

std::shared_ptr<IScriptHost> DuktapeEnvironmentFactory::GetScriptHost() {
    if (!host_) {
        host_ = std::make_shared<duktape::DuktapeScriptHost>(limits_);
    }
    if (!host_->Initialize()) {
        return nullptr;
    }
    return host_;
}

std::shared_ptr<IPluginObjectWrapperImpl> DuktapeEnvironmentFactory::CreatePluginWrapper(IScriptableObject&) {
    return std::make_shared<PluginMethodTable>();
}

}  // namespace Corvane::Script
