#include "script_host/plugins/script_variable_store.h"

#include "platform/logging/process_logger.h"

namespace Corvane::Script {
namespace {

constexpr wchar_t kFile[] = L"script_variable_store.cpp";

}  // namespace

CScriptVariableStore::CScriptVariableStore(IScriptEnvironmentFactory* factory)
    : PluginObject(factory, {Method(L"Get", {kArgString}, this, &CScriptVariableStore::GetMethod),
                             Method(L"Set", {kArgString, kArgAny}, this, &CScriptVariableStore::SetMethod)}) {}

bool CScriptVariableStore::Get(const std::wstring& name, ScriptVariable& value) const {
    {
        const std::lock_guard lock(mutex_);
        if (const auto it = variables_.find(name); it != variables_.end()) {
            value = it->second;
            return true;
        }
    }
    value.Clear();
    if (IsLogLevelEnabled(rk::log_level::kCritical)) {
        LogMessage(rk::log_level::kCritical, kFile, L"CScriptVariableStore::Get", __LINE__, kMsgVariableNotFound, name);
    }
    return false;
}

bool CScriptVariableStore::Set(const std::wstring& name, const ScriptVariable& value) {
    if (value.GetType() == ScriptVariableType::kObject && !value.GetObject()) {
        if (IsLogLevelEnabled(rk::log_level::kCritical)) {
            LogMessage(rk::log_level::kCritical, kFile, L"CScriptVariableStore::Set", __LINE__, kMsgNotAScriptableObject);
        }
        return false;
    }
    const std::lock_guard lock(mutex_);
    variables_[name] = value;
    return true;
}

void CScriptVariableStore::GetMethod(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) {
    Get(args[0].GetString(), result);
}

void CScriptVariableStore::SetMethod(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args) {
    result = ScriptVariable(Set(args[0].GetString(), count > 1 ? args[1] : ScriptVariable()));
}

}  // namespace Corvane::Script
