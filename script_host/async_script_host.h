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
    L"Script host destroyed on its own script thread; the thread finishes on its own";

class CAsyncScriptHost : public IAsyncScriptHost {
public:
    // `environment` must outlive this object. A null `stop_event` makes a
    // manual-reset event of its own. Destroying the object on its own script
    // thread (from a plug-in method) is safe: the thread ends after the
    // current operation on state of its own.
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
    bool IsReady() const { return shared_->ready.load(); }
    // Operations queued and timers set on the running thread (0 when it
    // does not run); an operation being run does not count.
    std::size_t PendingWork() const;
    bool IsScriptThread() const { return std::this_thread::get_id() == shared_->thread_id.load(); }

private:
    // What the running thread publishes; the thread keeps it alive itself.
    struct Shared {
        std::shared_ptr<rk::sys::WaitableEvent> stop;
        std::atomic<std::thread::id> thread_id;
        std::atomic<bool> ready{false};
        mutable std::mutex mutex;
        std::shared_ptr<IScriptOperationInvoker> invoker;
        std::shared_ptr<ScriptHostWrapper> wrapper;
        std::shared_ptr<CTimerProvider> timer;
        std::shared_ptr<CScriptOperationDispatcher> dispatcher;
        void Clear();
    };

    static void ThreadMain(std::shared_ptr<Shared> shared, IScriptEnvironmentFactory& environment, bool verify,
                           std::shared_ptr<std::promise<bool>> started);
    void JoinStopped();

    IScriptEnvironmentFactory& environment_;
    std::atomic<bool> verify_{true};
    std::shared_ptr<Shared> shared_;
    std::mutex lifecycle_mutex_;  // Initialize, Shutdown, destruction
    std::thread thread_;
};

}  // namespace Corvane::Script
