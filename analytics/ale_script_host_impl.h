// CALEScriptHostImpl: the engine behind CALEController: its settings, the
// script environment chosen by "Analytics.ScriptHost.Type", the
// asynchronous script host, the plug-in factory and its registrations, the
// bootstrap and its entry points. Not thread-safe itself: CALEController
// serialises every call.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "analytics/ale_settings.h"
#include "analytics/ale_status.h"
#include "script_host/script_variable.h"

namespace rk::sys {
class WaitableEvent;
}

namespace Corvane::Script {
class CAsyncScriptHost;
class CPluginFactory;
class CScriptVariableStore;
class ContextItemStoreSlot;
class IScriptOperationInvoker;
}  // namespace Corvane::Script

namespace Halden::Analytics {

namespace internal {
class CancellableEnvironment;
}  // namespace internal

// Script time per call into the engine (the bootstrap and content scripts
// are small; native plug-in time does not count): a script that never
// returns is interrupted after this.
inline constexpr std::chrono::milliseconds kAnalyticsScriptTimeLimit{2000};

class CALEScriptHostImpl {
public:
    CALEScriptHostImpl();
    ~CALEScriptHostImpl();
    CALEScriptHostImpl(const CALEScriptHostImpl&) = delete;
    CALEScriptHostImpl& operator=(const CALEScriptHostImpl&) = delete;

    CALESettings& Settings() { return settings_; }

    ALE_STATUS Initialize();
    ALE_STATUS Start();
    // Throws std::invalid_argument / std::out_of_range for a terminate
    // delay that is not an unsigned number.
    ALE_STATUS Shutdown();
    ALE_STATUS Uninitialize();
    void SetVariable(const std::wstring& name, const Corvane::Script::ScriptVariable& value);

    bool HasHost() const { return host_ != nullptr; }

private:
    ALE_STATUS InitializeHostFromFile();
    ALE_STATUS InitializeHostFromContent();
    ALE_STATUS InvokeInitialEntryPoint(Corvane::Script::IScriptOperationInvoker& invoker);
    bool RegisterPlugins(Corvane::Script::IScriptOperationInvoker& invoker);
    std::wstring Expanded(const std::wstring& text) const;
    void ReleaseEngine();

    CALESettings settings_;
    std::unique_ptr<internal::CancellableEnvironment> environment_;
    std::shared_ptr<rk::sys::WaitableEvent> stop_event_;
    std::shared_ptr<Corvane::Script::CAsyncScriptHost> host_;
    std::shared_ptr<Corvane::Script::CPluginFactory> factory_;
    std::shared_ptr<Corvane::Script::CScriptVariableStore> store_;
    std::shared_ptr<Corvane::Script::ContextItemStoreSlot> context_items_;
};

}  // namespace Halden::Analytics
