#include "script_host/timer_provider.h"

#include <chrono>

#include "script_host/script_operation.h"
#include "script_host/script_operation_dispatcher.h"

namespace Corvane::Script {

CTimerProvider::CTimerProvider(IScriptEnvironmentFactory* environment,
                               std::shared_ptr<CScriptOperationDispatcher> dispatcher)
    : PluginObject(environment,
                   {Method(L"setTimeout", {kArgInteger, kArgObject}, this, &CTimerProvider::SetTimeout),
                    Method(L"setInterval", {kArgInteger, kArgObject}, this, &CTimerProvider::SetInterval),
                    Method(L"clearInterval", {kArgInteger}, this, &CTimerProvider::ClearInterval)}),
      dispatcher_(dispatcher) {}

CTimerProvider::~CTimerProvider() {
    std::map<std::uint32_t, Timer> timers;
    {
        std::lock_guard lock(mutex_);
        timers.swap(timers_);
    }
    if (auto dispatcher = dispatcher_.lock()) {
        for (const auto& [id, timer] : timers) {
            dispatcher->Timers().Remove(id);
        }
    }
}

std::size_t CTimerProvider::ActiveTimers() const {
    std::lock_guard lock(mutex_);
    return timers_.size();
}

void CTimerProvider::SetTimeout(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) {
    result = ScriptVariable(Start(args, false));
}

void CTimerProvider::SetInterval(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) {
    result = ScriptVariable(Start(args, true));
}

void CTimerProvider::ClearInterval(ScriptVariable&, std::uint32_t, const ScriptVariable* args) {
    const std::uint32_t id = args[0].GetInt();
    bool known = false;
    {
        std::lock_guard lock(mutex_);
        known = timers_.erase(id) != 0;
    }
    if (auto dispatcher = dispatcher_.lock(); dispatcher && known) {
        dispatcher->Timers().Remove(id);
    }
}

std::uint32_t CTimerProvider::Start(const ScriptVariable* args, bool repeating) {
    auto dispatcher = dispatcher_.lock();
    if (!dispatcher) {
        throw std::runtime_error("The script thread has no dispatcher for timers");
    }
    const std::int32_t ms = args[0].GetSignedInt();
    // The provider's life bounds the timers (the destructor removes them),
    // so the callback may hold the provider by address.
    std::lock_guard lock(mutex_);
    const std::uint32_t id = dispatcher->Timers().Add(std::chrono::milliseconds(ms < 0 ? 0 : ms), repeating,
                                                      [this, weak = weak_from_this()](std::uint32_t due) {
                                                          if (const auto self = weak.lock()) {
                                                              Due(due);
                                                          }
                                                      });
    timers_[id] = Timer{args[1].GetObject(), repeating};
    return id;
}

void CTimerProvider::Due(std::uint32_t id) {
    std::shared_ptr<IScriptableObject> handler;
    {
        std::lock_guard lock(mutex_);
        const auto it = timers_.find(id);
        if (it == timers_.end()) {
            return;
        }
        handler = it->second.handler;
        if (!it->second.repeating) {
            timers_.erase(it);
        }
    }
    if (auto dispatcher = dispatcher_.lock()) {
        dispatcher->Post(std::make_shared<CScriptOperation>(handler, L"OnTimeout", 0, nullptr, dispatcher));
    }
}

}  // namespace Corvane::Script
