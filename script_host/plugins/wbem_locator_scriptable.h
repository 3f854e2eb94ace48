// "wmi": WMI-style machine queries for scripts.
//
//   connectServer(string namespace, further arguments ignored) -> services object
//
// Failures throw std::system_error in the "wmi error" category, so the
// script's message carries the WMI status text.
#pragma once

#include <memory>
#include <string>

#include "platform/system/wmi/wbem_locator.h"
#include "script_host/plugin_object.h"

namespace Corvane::Script {

inline constexpr char kMsgConnectFailed[] = "Failed to connect to the WMI server using ";

class CWbemLocator_Scriptable : public PluginObject {  // NOLINT(readability-identifier-naming)
public:
    // Tests hand in a locator over a machine of their own.
    explicit CWbemLocator_Scriptable(IScriptEnvironmentFactory* factory,
                                     std::shared_ptr<rk::sys::wmi::WbemLocator> locator = nullptr);

private:
    void connectServer(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);

    IScriptEnvironmentFactory* factory_;
    std::shared_ptr<rk::sys::wmi::WbemLocator> locator_;
};

}  // namespace Corvane::Script
