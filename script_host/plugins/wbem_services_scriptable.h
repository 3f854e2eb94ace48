// The services object "connectServer" returns.
//
//   execQuery(string query) -> enumerator object
#pragma once

#include <memory>

#include "platform/system/wmi/wbem_services.h"
#include "script_host/plugin_object.h"

namespace Corvane::Script {

inline constexpr char kMsgServiceNull[] = "Invalid State: Serice object is [null]";
inline constexpr char kMsgQueryFailed[] = "Failed to execute the WMI query ";

class CWbemServices_Scriptable : public PluginObject {  // NOLINT(readability-identifier-naming)
public:
    CWbemServices_Scriptable(IScriptEnvironmentFactory* factory, std::shared_ptr<rk::sys::wmi::WbemServices> services);

private:
    void execQuery(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);

    IScriptEnvironmentFactory* factory_;
    std::shared_ptr<rk::sys::wmi::WbemServices> services_;
};

}  // namespace Corvane::Script
