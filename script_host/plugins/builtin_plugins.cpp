#include "script_host/plugins/builtin_plugins.h"

#include "script_host/plugins/logging_plugin.h"
#include "script_host/plugins/registry_plugin.h"
#include "script_host/plugins/script_variable_queue.h"
#include "script_host/plugins/system_plugin.h"
#include "script_host/plugins/wbem_locator_scriptable.h"

namespace Corvane::Script {

void RegisterBuiltinPlugins(IFactory& factory, const std::shared_ptr<ContextItemStoreSlot>& context_items,
                            const BuiltinPluginOptions& options) {
    factory.Register(L"system", [](IScriptEnvironmentFactory* environment) {
        return std::make_shared<CSystemPlugin>(environment);
    });
    factory.Register(L"registry", [](IScriptEnvironmentFactory* environment) {
        return std::make_shared<CRegistryPlugin>(environment);
    });
    factory.Register(L"queue", [](IScriptEnvironmentFactory* environment) {
        return std::make_shared<CScriptVariableQueue>(environment);
    });
    factory.Register(L"logging", [options](IScriptEnvironmentFactory* environment) {
        return std::make_shared<CLoggingPlugin>(environment, *options.console, options.syslog_port);
    });
    factory.Register(L"wmi", [](IScriptEnvironmentFactory* environment) {
        return std::make_shared<CWbemLocator_Scriptable>(environment);
    });
    factory.Register(L"contextitemstore", context_items->Creator());
}

}  // namespace Corvane::Script
