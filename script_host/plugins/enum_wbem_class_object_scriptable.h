// The enumerator "execQuery" returns.
//
//   next()  -> the next class object, empty after the last
//   reset() -> back to the first
#pragma once

#include <memory>

#include "platform/system/wmi/wbem_enumerator.h"
#include "script_host/plugin_object.h"

namespace Corvane::Script {

inline constexpr char kMsgEnumNull[] = "Invalid State: Enum object is [null]";
inline constexpr wchar_t kMsgResetFailed[] = L"Iterator Reset Failed (0x%08X)";

class CEnumWbemClassObject_Scriptable : public PluginObject {  // NOLINT(readability-identifier-naming)
public:
    CEnumWbemClassObject_Scriptable(IScriptEnvironmentFactory* factory,
                                    std::shared_ptr<rk::sys::wmi::WbemEnumerator> enumerator);

private:
    void next(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void reset(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);

    IScriptEnvironmentFactory* factory_;
    std::shared_ptr<rk::sys::wmi::WbemEnumerator> enumerator_;
};

}  // namespace Corvane::Script
