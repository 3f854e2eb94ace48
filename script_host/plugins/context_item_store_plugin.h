// "contextitemstore": named values shared by the host and the scripts of one
// engine.
//
//   Get(string name) -> a copy of the value; empty for an empty or unknown name (logged)
//   Set(string name, any value)  stores a copy; objects are refused (logged)
//
// The host writes through SetVariable from its own thread; a mutex guards
// the map.
#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <string>

#include "script_host/plugin_object.h"

namespace Corvane::Script {

inline constexpr wchar_t kMsgContextLookupNameRequired[] = L"Item name is required for lookup from context store";
inline constexpr wchar_t kMsgContextItemNotFound[] = L"Unable to find item in context store. Name: %s";
inline constexpr wchar_t kMsgContextSaveNameRequired[] = L"Item name is required for saving in context store";
inline constexpr wchar_t kMsgContextTypeDisallowed[] = L"Item type %d is disallowed in context store";

class ContextItemStorePlugin : public PluginObject {
public:
    using Items = std::map<std::wstring, ScriptVariable>;

    // `initial` are the variables the host set before the store existed.
    explicit ContextItemStorePlugin(IScriptEnvironmentFactory* factory, Items initial = {});

    std::wstring GetName() override { return L"ContextItemStore"; }

    // The native side of "Set" and "Get" (same rules and log lines).
    bool SetVariable(const std::wstring& name, const ScriptVariable& value);
    ScriptVariable GetVariable(const std::wstring& name) const;

private:
    void Get(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void Set(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);

    mutable std::mutex mutex_;
    Items items_;
};

}  // namespace Corvane::Script
