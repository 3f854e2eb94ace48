// A scriptable object that registers a method table at construction.
#pragma once

#include "script_host/plugin_object_wrapper_impl.h"
#include "script_host/scriptable_operation_object.h"

namespace Corvane::Script {

class PluginObjectWrapper : public ScriptableOperationObject {
public:
    PluginObjectWrapper(IScriptEnvironmentFactory* factory, MethodTable methods);
};

}  // namespace Corvane::Script
