// The one context item store of an engine: made by the first
// PluginFactory.Create("contextitemstore") with the variables the host set
// before, returned again by every later Create; host variables set after that
// go straight into it.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "script_host/factory_if.h"
#include "script_host/plugins/context_item_store_plugin.h"

namespace Corvane::Script {

class ContextItemStoreSlot : public std::enable_shared_from_this<ContextItemStoreSlot> {
public:
    void SetVariable(const std::wstring& name, const ScriptVariable& value);
    // The creator to register under "contextitemstore"; it keeps the slot alive.
    PluginCreator Creator();
    // Null until a script created the store.
    std::shared_ptr<ContextItemStorePlugin> Store() const;

private:
    std::shared_ptr<ContextItemStorePlugin> GetOrCreate(IScriptEnvironmentFactory* factory);

    mutable std::mutex mutex_;
    ContextItemStorePlugin::Items pending_;
    std::shared_ptr<ContextItemStorePlugin> store_;
};

}  // namespace Corvane::Script
