#include "script_host/plugins/context_item_store_plugin.h"

#include "platform/logging/process_logger.h"

namespace Corvane::Script {
namespace {

constexpr wchar_t kFile[] = L"context_item_store_plugin.cpp";

template <typename... A>
void log_failure(const wchar_t* function, int line, const wchar_t* format, const A&... args) {
    if (IsLogLevelEnabled(rk::log_level::kCritical)) {
        LogMessage(rk::log_level::kCritical, kFile, function, line, format, args...);
    }
}

}  // namespace

ContextItemStorePlugin::ContextItemStorePlugin(IScriptEnvironmentFactory* factory, Items initial)
    : PluginObject(factory, {Method(L"Get", {kArgString}, this, &ContextItemStorePlugin::Get),
                             Method(L"Set", {kArgString, kArgAny}, this, &ContextItemStorePlugin::Set)}) {
    for (auto& [name, value] : initial) {
        SetVariable(name, value);
    }
}

bool ContextItemStorePlugin::SetVariable(const std::wstring& name, const ScriptVariable& value) {
    constexpr wchar_t kFunction[] = L"ContextItemStorePlugin::Set";
    if (name.empty()) {
        log_failure(kFunction, __LINE__, kMsgContextSaveNameRequired);
        return false;
    }
    if (value.GetTypeNumber() >= static_cast<std::uint32_t>(ScriptVariableType::kObject)) {
        log_failure(kFunction, __LINE__, kMsgContextTypeDisallowed, value.GetTypeNumber());
        return false;
    }
    const std::lock_guard lock(mutex_);
    items_[name] = value;
    return true;
}

ScriptVariable ContextItemStorePlugin::GetVariable(const std::wstring& name) const {
    constexpr wchar_t kFunction[] = L"ContextItemStorePlugin::Get";
    if (name.empty()) {
        log_failure(kFunction, __LINE__, kMsgContextLookupNameRequired);
        return {};
    }
    {
        const std::lock_guard lock(mutex_);
        if (const auto it = items_.find(name); it != items_.end()) {
            return it->second;
        }
    }
    log_failure(kFunction, __LINE__, kMsgContextItemNotFound, name);
    return {};
}

void ContextItemStorePlugin::Get(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) {
    result = GetVariable(args[0].GetString());
}

void ContextItemStorePlugin::Set(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args) {
    result = ScriptVariable(SetVariable(args[0].GetString(), count > 1 ? args[1] : ScriptVariable()));
}

}  // namespace Corvane::Script
