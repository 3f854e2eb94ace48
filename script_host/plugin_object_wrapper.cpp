#include "script_host/plugin_object_wrapper.h"

namespace Corvane::Script {

PluginObjectWrapper::PluginObjectWrapper(IScriptEnvironmentFactory* factory, MethodTable methods)
    : ScriptableOperationObject(factory) {
    wrapper_->BeginRegistration();
    for (auto& m : methods) {
        wrapper_->RegisterMethod(std::move(m));
    }
    wrapper_->EndRegistration();
}

}  // namespace Corvane::Script
