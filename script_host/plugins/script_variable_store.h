// The engine's named variables, offered to scripts as the global
// "ScriptVariableStore" ("Setting." and "Property." values, stop_signal_received).
//
//   Get(string name) -> the value; empty for an unknown name (logged)
//   Set(string name, any value)  stores (replaces); objects are kept as objects
//
// The host fills it from its own thread while scripts may read it; a mutex
// guards the map. Destroying the store releases the objects it holds.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "script_host/plugin_object.h"
#include "script_host/plugins/store_if.h"

namespace Corvane::Script {

inline constexpr wchar_t kMsgVariableNotFound[] = L"Unable to find requested variable %s";
inline constexpr wchar_t kMsgNotAScriptableObject[] = L"ScriptVariable not a valid ScriptableObject";

class CScriptVariableStore : public PluginObject, public IStore<ScriptVariable> {
public:
    explicit CScriptVariableStore(IScriptEnvironmentFactory* factory);

    std::wstring GetName() override { return L"ScriptVariableStore"; }

    bool Get(const std::wstring& name, ScriptVariable& value) const override;
    bool Set(const std::wstring& name, const ScriptVariable& value) override;

private:
    void GetMethod(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void SetMethod(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);

    mutable std::mutex mutex_;
    std::map<std::wstring, ScriptVariable> variables_;
};

}  // namespace Corvane::Script
