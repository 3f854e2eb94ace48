// The FIFO of operations of one script thread, and its timers.
//
// Run() waits on the stop event, the work event and the timer queue
// together; stop wins over work, work over timers, and due timers are also
// served after every operation so that a busy queue cannot starve them.
// When Run() returns (or the dispatcher is destroyed unrun) it stops taking
// work and cancels what is still queued, so no waiter is left hanging.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/system/waitable_event.h"
#include "script_host/script_operation_dispatcher_if.h"
#include "script_host/script_timer_queue.h"

namespace Corvane::Script {

inline constexpr wchar_t kMsgDispatcherWaitFailed[] = L"Waiting for script work failed; the script thread stops";

class CScriptOperationDispatcher : public IScriptOperationDispatcher,
                                   public std::enable_shared_from_this<CScriptOperationDispatcher> {
public:
    // The constructing thread counts as the dispatch thread until Run()
    // records its own (the script thread creates its dispatcher).
    CScriptOperationDispatcher();
    ~CScriptOperationDispatcher() override;
    CScriptOperationDispatcher(const CScriptOperationDispatcher&) = delete;
    CScriptOperationDispatcher& operator=(const CScriptOperationDispatcher&) = delete;

    void Run(rk::sys::WaitableEvent& stop) override;
    bool Post(std::shared_ptr<IScriptOperation> operation) override;
    bool IsDispatchThread() const override;

    // Queues a native task as an operation (failures of the task are logged
    // like those of any operation).
    bool PostTask(std::function<void()> task);

    bool IsRunning() const { return running_.load(); }
    // Operations queued and not yet taken.
    std::size_t Pending() const;

    ScriptTimerQueue& Timers() { return timers_; }

private:
    void Close();

    mutable std::mutex mutex_;
    std::deque<std::shared_ptr<IScriptOperation>> queue_;
    bool closed_ = false;
    rk::sys::WaitableEvent work_{false, true};
    ScriptTimerQueue timers_;
    std::atomic<std::thread::id> thread_;
    std::atomic<bool> running_{false};
};

}  // namespace Corvane::Script
