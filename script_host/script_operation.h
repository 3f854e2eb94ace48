// One call of a method on a scriptable object, run once by a dispatcher (or
// at once) and awaited by any number of threads.
//
// States: 0 waiting -> 1 running -> 2 done, or 3 cancelled from 0 or 1.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "script_host/script_operation_if.h"
#include "script_host/scriptable_object.h"

namespace Corvane::Script {

class IScriptOperationDispatcher;

inline constexpr wchar_t kMsgOperationException[] = L"Execute(%s) with %d parameters failed: exception is: %hs";
inline constexpr wchar_t kMsgOperationUnspecified[] =
    L"Execute(%s) with %d parameters failed: unspecified exception was caught";
inline constexpr wchar_t kMsgOperationNullObject[] = L"Scriptable Execute(%s) with %d parameters failed: object is null";

class CScriptOperation : public IScriptOperation {
public:
    enum State : int { kWaiting = 0, kRunning = 1, kDone = 2, kCancelled = 3 };

    // Copies the arguments; object arguments are told the dispatcher.
    CScriptOperation(std::shared_ptr<IScriptableObject> target, std::wstring method, std::uint32_t count,
                     const ScriptVariable* args, const std::shared_ptr<IScriptOperationDispatcher>& dispatcher);

    bool Cancel() override;
    WaitStatus Wait(std::uint32_t milliseconds, ScriptVariable& result) override;
    bool Execute() override;

    State GetState() const { return state_.load(); }
    const std::wstring& GetMethod() const { return method_; }

private:
    std::shared_ptr<IScriptableObject> target_;
    std::wstring method_;
    std::vector<ScriptVariable> args_;
    std::weak_ptr<IScriptOperationDispatcher> dispatcher_;

    std::mutex mutex_;
    std::condition_variable done_;
    std::atomic<State> state_{kWaiting};
    bool failed_ = true;
    ScriptVariable result_;
};

}  // namespace Corvane::Script
