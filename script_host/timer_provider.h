// "timer": script timers on the script thread's dispatcher.
//   "setTimeout"(integer ms, object handler)  -> id; handler.OnTimeout() once
//   "setInterval"(integer ms, object handler) -> id; handler.OnTimeout() every ms
//   "clearInterval"(integer id)                stops either kind
// When a timer is due, "OnTimeout" is queued on the dispatcher like any
// operation (so a time of 0 runs after the current operation); a one-shot
// timer is forgotten when it comes due. Negative times count as 0. Dropping
// the provider stops its timers.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "script_host/plugin_object.h"

namespace Corvane::Script {

class CScriptOperationDispatcher;

class CTimerProvider : public PluginObject {
public:
    CTimerProvider(IScriptEnvironmentFactory* environment, std::shared_ptr<CScriptOperationDispatcher> dispatcher);
    ~CTimerProvider() override;

    std::wstring GetName() override { return L"timer"; }
    std::size_t ActiveTimers() const;

private:
    void SetTimeout(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void SetInterval(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    void ClearInterval(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
    std::uint32_t Start(const ScriptVariable* args, bool repeating);
    void Due(std::uint32_t id);

    std::weak_ptr<CScriptOperationDispatcher> dispatcher_;
    mutable std::mutex mutex_;
    struct Timer {
        std::shared_ptr<IScriptableObject> handler;
        bool repeating;
    };
    std::map<std::uint32_t, Timer> timers_;
};

}  // namespace Corvane::Script
