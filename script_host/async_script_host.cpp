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
    : environment_(environment), shared_(std::make_shared<Shared>()) {
    shared_->stop = stop_event ? std::move(stop_event) : std::make_shared<rk::sys::WaitableEvent>(true, false);
}

CAsyncScriptHost::~CAsyncScriptHost() {
    if (IsScriptThread()) {
        log_failure(L"CAsyncScriptHost::~CAsyncScriptHost", __LINE__, kMsgDestroyedOnScriptThread);
        shared_->stop->set();
        thread_.detach();
        return;
    }
    Shutdown();
}

void CAsyncScriptHost::Shared::Clear() {
    std::lock_guard lock(mutex);
    ready = false;
    invoker.reset();
    wrapper.reset();
    timer.reset();
    dispatcher.reset();
}

bool CAsyncScriptHost::Initialize() {
    if (IsScriptThread()) {
        return shared_->ready.load();
    }
    std::lock_guard lifecycle(lifecycle_mutex_);
    if (shared_->ready.load() && !shared_->stop->is_set()) {
        return true;
    }
    JoinStopped();
    shared_->stop->reset();
    auto started = std::make_shared<std::promise<bool>>();
    auto result = started->get_future();
    try {
        thread_ = std::thread(&CAsyncScriptHost::ThreadMain, shared_, std::ref(environment_), verify_.load(), started);
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
        shared_->stop->set();
        return;
    }
    std::lock_guard lifecycle(lifecycle_mutex_);
    JoinStopped();
    shared_->stop->reset();
}

void CAsyncScriptHost::JoinStopped() {
    shared_->stop->set();
    if (thread_.joinable()) {
        thread_.join();
    }
    shared_->thread_id = std::thread::id();
    shared_->Clear();
}

std::size_t CAsyncScriptHost::PendingWork() const {
    std::lock_guard lock(shared_->mutex);
    const auto& d = shared_->dispatcher;
    return d ? d->Pending() + d->Timers().Size() : 0;
}

std::shared_ptr<IScriptOperationInvoker> CAsyncScriptHost::GetInvoker() {
    std::lock_guard lock(shared_->mutex);
    return shared_->invoker;
}

void CAsyncScriptHost::ThreadMain(std::shared_ptr<Shared> shared, IScriptEnvironmentFactory& environment, bool verify,
                                  std::shared_ptr<std::promise<bool>> started) {
    shared->thread_id = std::this_thread::get_id();
    bool promised = false;
    std::shared_ptr<IScriptHost> host;
    std::shared_ptr<CScriptOperationDispatcher> dispatcher;
    try {
        dispatcher = std::make_shared<CScriptOperationDispatcher>();
        host = environment.GetScriptHost();
        if (!host) {
            throw std::runtime_error("no script host" + ThrownFrom(__FILE__, __LINE__));
        }
        host->SetSignatureVerification(verify);
        host->SetDispatcher(dispatcher);
        auto invoker = host->GetInvoker();
        if (!invoker) {
            throw std::runtime_error("no invoker" + ThrownFrom(__FILE__, __LINE__));
        }
        invoker->SetDispatcher(dispatcher);

        auto timer = std::make_shared<CTimerProvider>(&environment, dispatcher);
        set_global(*invoker, L"timer", timer);
        auto wrapper = std::make_shared<ScriptHostWrapper>(&environment, host);
        set_global(*invoker, L"_scriptHost", wrapper);
        host->AddScript(rk::text::utf8_to_wide(BuiltinScripts::AsyncHostStartup()), L"");
        {
            std::lock_guard lock(shared->mutex);
            shared->invoker = std::move(invoker);
            shared->wrapper = std::move(wrapper);
            shared->timer = std::move(timer);
            shared->dispatcher = dispatcher;
            shared->ready = true;
        }
        promised = true;
        started->set_value(true);
        // From here on the environment is not used: the host is held here.
        dispatcher->Run(*shared->stop);
    } catch (const std::exception& e) {
        log_failure(L"CAsyncScriptHost::ThreadMain", __LINE__, kMsgStartupFailed, e.what());
    }
    shared->Clear();
    dispatcher.reset();  // Run() has cancelled what was still queued
    if (host) {
        host->ShutDown();
    }
    // Thread ids are reused: a later thread must not pass for this one.
    shared->thread_id = std::thread::id();
    if (!promised) {
        started->set_value(false);
    }
}

}  // namespace Corvane::Script
