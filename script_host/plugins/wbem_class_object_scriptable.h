// One object of a query result.
//
//   Get(string property) -> string, integer, boolean, or empty for null
#pragma once

#include <memory>

#include "platform/system/wmi/wbem_class_object.h"
#include "script_host/plugin_object.h"

namespace Corvane::Script {

inline constexpr char kMsgClassObjectNull[] = "Invalid State: Class object is [null]";
inline constexpr wchar_t kMsgNoSuchProperty[] = L"No such property: '%s' (0x%08X)";

class CWbemClassObject_Scriptable : public PluginObject {  // NOLINT(readability-identifier-naming)
public:
    CWbemClassObject_Scriptable(IScriptEnvironmentFactory* factory,
                                std::shared_ptr<const rk::sys::wmi::WbemClassObject> object);

private:
    void Get(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);

    std::shared_ptr<const rk::sys::wmi::WbemClassObject> object_;
};

}  // namespace Corvane::Script
