#include "script_host/plugins/context_item_store_slot.h"

namespace Corvane::Script {

void ContextItemStoreSlot::SetVariable(const std::wstring& name, const ScriptVariable& value) {
    std::shared_ptr<ContextItemStorePlugin> store;
    {
        const std::lock_guard lock(mutex_);
        if (!store_) {
            pending_[name] = value;
            return;
        }
        store = store_;
    }
    store->SetVariable(name, value);
}

PluginCreator ContextItemStoreSlot::Creator() {
    return [self = shared_from_this()](IScriptEnvironmentFactory* factory) -> std::shared_ptr<IScriptableObject> {
        return self->GetOrCreate(factory);
    };
}

std::shared_ptr<ContextItemStorePlugin> ContextItemStoreSlot::Store() const {
    const std::lock_guard lock(mutex_);
    return store_;
}

std::shared_ptr<ContextItemStorePlugin> ContextItemStoreSlot::GetOrCreate(IScriptEnvironmentFactory* factory) {
    const std::lock_guard lock(mutex_);
    if (!store_) {
        store_ = std::make_shared<ContextItemStorePlugin>(factory, std::move(pending_));
        pending_.clear();
    }
    return store_;
}

}  // namespace Corvane::Script
