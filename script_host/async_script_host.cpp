#include "script_host/async_script_host.h"

#include <exception>
#include <future>

#include "platform/logging/process_logger.h"
#include "platform/text/utf.h"
#include "script_host/builtin_scripts.h"
#include "script_host/script_environment_factory_if.h"
#include "script_host/script_host_if.h"
#include "script_host/script_host_wrapper.h"
#include "script_host/script_operation_dispatcher.h"
#include "script_host/script_operation_invoker_if.h"
#include "script_host/thrown_from.h"
#include "script_host/timer_provider.h"

namespace Corvane::Script {
namespace {

constexpr wchar_t kFile[] = L"async_script_host.cpp";

template <typename... A>
void log_failure(const wchar_t* function, int line, const wchar_t* format, const A&... args) {
    if (IsLogLevelEnabled(rk::log_level::kCritical)) {
        LogMessage(rk::log_level::kCritical, kFile, function, line, format, args...);
    }
}

// set(name, value) through the host's start-up script.
void set_global(IScriptOperationInvoker& invoker, const wchar_t* name, std::shared_ptr<IScriptableObject> object) {
    std::shared_ptr<IScriptOperation> op;
    ScriptVariable ignored;
    if (!invoker.Execute(L"set", ScriptVariable(name), ScriptVariable(std::move(object)), op) ||
        op->Wait(0, ignored) != WaitStatus::kSucceeded) {
        throw std::runtime_error("set(\"" + rk::text::wide_to_utf8(name) + "\") failed" + ThrownFrom(__FILE__, __LINE__));
    }
}

}  // namespace

CAsyncScriptHost::CAsyncScriptHost(IScriptEnvironmentFactory& environment,
                                   std::shared_ptr<rk::sys::WaitableEvent> stop_event)
    : environment_(environment),
      stop_(stop_event ? std::move(stop_event) : std::make_shared<rk::sys::WaitableEvent>(true, false)) {}

CAsyncScriptHost::~CAsyncScriptHost() {
    if (IsScriptThread()) {
        log_failure(L"CAsyncScriptHost::~CAsyncScriptHost", __LINE__, kMsgDestroyedOnScriptThread);
        stop_->set();
        thread_.detach();
        return;
    }
    Shutdown();
}

bool CAsyncScriptHost::Initialize() {
    if (IsScriptThread()) {
        return ready_.load();
    }
    std::lock_guard lifecycle(lifecycle_mutex_);
    if (ready_.load() && !stop_->is_set()) {
        return true;
    }
    JoinStopped();
    stop_->reset();
    auto started = std::make_shared<std::promise<bool>>();
    auto result = started->get_future();
    try {
        thread_ = std::thread(&CAsyncScriptHost::ThreadMain, this, started);
    } catch (const std::exception& e) {
        log_failure(L"CAsyncScriptHost::Initialize", __LINE__, kMsgStartupFailed, e.what());
        log_failure(L"CAsyncScriptHost::Initialize", __LINE__, kMsgThreadDidNotStart);
        return false;
    }
    if (!result.get()) {
        log_failure(L"CAsyncScriptHost::Initialize", __LINE__, kMsgThreadDidNotStart);
        JoinStopped();
        return false;
    }
    return true;
}

void CAsyncScriptHost::Shutdown() {
    if (IsScriptThread()) {
        stop_->set();
        return;
    }
    std::lock_guard lifecycle(lifecycle_mutex_);
    JoinStopped();
    stop_->reset();
}

void CAsyncScriptHost::JoinStopped() {
    stop_->set();
    if (thread_.joinable()) {
        thread_.join();
    }
    thread_id_ = std::thread::id();
    std::lock_guard state(state_mutex_);
    ready_ = false;
    invoker_.reset();
    wrapper_.reset();
    timer_.reset();
    dispatcher_.reset();
}

std::size_t CAsyncScriptHost::PendingWork() const {
    std::lock_guard state(state_mutex_);
    return dispatcher_ ? dispatcher_->Pending() + dispatcher_->Timers().Size() : 0;
}

std::shared_ptr<IScriptOperationInvoker> CAsyncScriptHost::GetInvoker() {
    std::lock_guard state(state_mutex_);
    return invoker_;
}

void CAsyncScriptHost::ThreadMain(std::shared_ptr<std::promise<bool>> started) {
    thread_id_ = std::this_thread::get_id();
    bool promised = false;
    std::shared_ptr<IScriptHost> host;
    std::shared_ptr<CScriptOperationDispatcher> dispatcher;
    try {
        dispatcher = std::make_shared<CScriptOperationDispatcher>();
        host = environment_.GetScriptHost();
        if (!host) {
            throw std::runtime_error("no script host" + ThrownFrom(__FILE__, __LINE__));
        }
        host->SetSignatureVerification(verify_.load());
        host->SetDispatcher(dispatcher);
        auto invoker = host->GetInvoker();
        if (!invoker) {
            throw std::runtime_error("no invoker" + ThrownFrom(__FILE__, __LINE__));
        }
        invoker->SetDispatcher(dispatcher);

        auto timer = std::make_shared<CTimerProvider>(&environment_, dispatcher);
        set_global(*invoker, L"timer", timer);
        auto wrapper = std::make_shared<ScriptHostWrapper>(&environment_, host);
        set_global(*invoker, L"_scriptHost", wrapper);
        host->AddScript(rk::text::utf8_to_wide(BuiltinScripts::AsyncHostStartup()), L"");
        {
            std::lock_guard state(state_mutex_);
            invoker_ = std::move(invoker);
            wrapper_ = std::move(wrapper);
            timer_ = std::move(timer);
            dispatcher_ = dispatcher;
            ready_ = true;
        }
        promised = true;
        started->set_value(true);
        dispatcher->Run(*stop_);
    } catch (const std::exception& e) {
        log_failure(L"CAsyncScriptHost::ThreadMain", __LINE__, kMsgStartupFailed, e.what());
    }
    {
        std::lock_guard state(state_mutex_);
        ready_ = false;
        invoker_.reset();
        wrapper_.reset();
        timer_.reset();
        dispatcher_.reset();
    }
    dispatcher.reset();  // cancels what is still queued
    if (host) {
        host->ShutDown();
    }
    if (!promised) {
        started->set_value(false);
    }
}

}  // namespace Corvane::Script
