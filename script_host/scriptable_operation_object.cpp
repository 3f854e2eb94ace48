#include "script_host/scriptable_operation_object.h"

#include "script_host/plugin_method_table.h"
#include "script_host/script_environment_factory_if.h"

namespace Corvane::Script {

ScriptableOperationObject::ScriptableOperationObject(IScriptEnvironmentFactory* factory) {
    if (factory != nullptr) {
        wrapper_ = factory->CreatePluginWrapper(*this);
    }
    if (!wrapper_) {
        wrapper_ = std::make_shared<PluginMethodTable>();
    }
}

bool ScriptableOperationObject::Execute(const std::wstring& method, ScriptVariable& result, std::uint32_t count,
                                        const ScriptVariable* args) {
    return wrapper_->Execute(method, result, count, args);
}

std::shared_ptr<IPluginObjectWrapperImpl> ScriptableOperationObject::GetWrapper() { return wrapper_; }

}  // namespace Corvane::Script
