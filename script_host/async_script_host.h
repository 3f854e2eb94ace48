// The script thread: owns the environment's host while running, serves the
// dispatcher, and offers the host's invoker to other threads.
//
// Start-up on the thread: dispatcher, host (from the environment factory),
// signature verification as set here (on by default), "timer" and
// "_scriptHost" globals, then the signed start-up script that defines
// AddScript, AddScriptFromFile and CollectGarbage. Initialize() returns once
// that is done (or failed).
//
// Shutdown() may be called from any thread, the script thread included:
// there it only signals the stop event, and the thread ends after the
// current operation (it is joined by the next Initialize, Shutdown or the
// destructor).
#pragma once

#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/system/waitable_event.h"
#include "script_host/async_script_host_if.h"

namespace Corvane::Script {

class CScriptOperationDispatcher;
class CTimerProvider;
class IScriptEnvironmentFactory;
class IScriptOperationInvoker;
class ScriptHostWrapper;

inline constexpr wchar_t kMsgThreadDidNotStart[] = L"Thread did not start properly";
inline constexpr wchar_t kMsgStartupFailed[] = L"Script thread start-up failed: %hs";
inline constexpr wchar_t kMsgDestroyedOnScriptThread[] =
    L"Script host destroyed on its own script thread; the thread is left to finish";

class CAsyncScriptHost : public IAsyncScriptHost {
public:
    // `environment` must outlive this object. A null `stop_event` makes a
    // manual-reset event of its own.
    explicit CAsyncScriptHost(IScriptEnvironmentFactory& environment,
                              std::shared_ptr<rk::sys::WaitableEvent> stop_event = nullptr);
    ~CAsyncScriptHost() override;
    CAsyncScriptHost(const CAsyncScriptHost&) = delete;
    CAsyncScriptHost& operator=(const CAsyncScriptHost&) = delete;

    bool Initialize() override;
    void Shutdown() override;
    std::shared_ptr<IScriptOperationInvoker> GetInvoker() override;

    // Applies at the next start. Tests only: nothing in configuration
    // switches verification off.
    void SetSignatureVerification(bool enabled) { verify_ = enabled; }
    bool IsReady() const { return ready_.load(); }
    // Operations queued and timers set on the running thread (0 when it
    // does not run); an operation being run does not count.
    std::size_t PendingWork() const;
    bool IsScriptThread() const { return std::this_thread::get_id() == thread_id_.load(); }

private:
    void ThreadMain(std::shared_ptr<std::promise<bool>> started);
    void JoinStopped();

    IScriptEnvironmentFactory& environment_;
    std::shared_ptr<rk::sys::WaitableEvent> stop_;
    std::atomic<bool> verify_{true};

    std::mutex lifecycle_mutex_;  // Initialize, Shutdown, destruction
    std::thread thread_;
    std::atomic<std::thread::id> thread_id_;

    mutable std::mutex state_mutex_;  // what the running thread publishes
    std::shared_ptr<IScriptOperationInvoker> invoker_;
    std::shared_ptr<ScriptHostWrapper> wrapper_;
    std::shared_ptr<CTimerProvider> timer_;
    std::shared_ptr<CScriptOperationDispatcher> dispatcher_;
    std::atomic<bool> ready_{false};
};

}  // namespace Corvane::Script
