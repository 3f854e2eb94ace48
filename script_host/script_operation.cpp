#include "script_host/script_operation.h"

#include <chrono>
#include <exception>
#include <stdexcept>

#include "platform/logging/process_logger.h"
#include "script_host/script_operation_dispatcher_if.h"

namespace Corvane::Script {
namespace {

constexpr wchar_t kFile[] = L"script_operation.cpp";
constexpr wchar_t kFunction[] = L"CScriptOperation::Execute";

template <typename... A>
void log_failure(int line, const wchar_t* format, const A&... args) {
    if (IsLogLevelEnabled(rk::log_level::kCritical)) {
        LogMessage(rk::log_level::kCritical, kFile, kFunction, line, format, args...);
    }
}

}  // namespace

CScriptOperation::CScriptOperation(std::shared_ptr<IScriptableObject> target, std::wstring method, std::uint32_t count,
                                   const ScriptVariable* args,
                                   const std::shared_ptr<IScriptOperationDispatcher>& dispatcher)
    : target_(std::move(target)), method_(std::move(method)), dispatcher_(dispatcher) {
    if (args != nullptr) {
        args_.assign(args, args + count);
    }
    for (auto& a : args_) {
        if (a.GetType() == ScriptVariableType::kObject && dispatcher) {
            a.GetObject()->SetDispatcher(dispatcher);
        }
    }
}

bool CScriptOperation::Cancel() {
    {
        std::lock_guard lock(mutex_);
        State s = state_.load();
        while (s < kDone && !state_.compare_exchange_weak(s, kCancelled)) {
        }
    }
    done_.notify_all();
    return true;
}

bool CScriptOperation::Execute() {
    State expected = kWaiting;
    if (!state_.compare_exchange_strong(expected, kRunning)) {
        return false;
    }
    const int count = static_cast<int>(args_.size());
    ScriptVariable result;
    bool failed = true;
    if (!target_) {
        log_failure(__LINE__, kMsgOperationNullObject, method_, count);
    } else {
        try {
            failed = !target_->Execute(method_, result, static_cast<std::uint32_t>(args_.size()),
                                       args_.empty() ? nullptr : args_.data());
        } catch (const std::runtime_error& e) {
            log_failure(__LINE__, kMsgOperationException, method_, count, e.what());
        } catch (...) {
            log_failure(__LINE__, kMsgOperationUnspecified, method_, count);
        }
    }
    {
        std::lock_guard lock(mutex_);
        failed_ = failed;
        result_ = std::move(result);
        expected = kRunning;
        state_.compare_exchange_strong(expected, kDone);
    }
    done_.notify_all();
    return !failed;
}

WaitStatus CScriptOperation::Wait(std::uint32_t milliseconds, ScriptVariable& result) {
    std::unique_lock lock(mutex_);
    const auto finished = [this] { return state_.load() >= kDone; };
    if (milliseconds == kWaitInfinite) {
        done_.wait(lock, finished);
    } else if (!done_.wait_for(lock, std::chrono::milliseconds(milliseconds), finished)) {
        return WaitStatus::kTimeout;
    }
    if (state_.load() == kCancelled) {
        return WaitStatus::kCancelled;
    }
    if (failed_) {
        return WaitStatus::kFailed;
    }
    result = result_;
    if (result.GetType() == ScriptVariableType::kObject) {
        if (auto dispatcher = dispatcher_.lock()) {
            result.GetObject()->SetDispatcher(std::move(dispatcher));
        }
    }
    return WaitStatus::kSucceeded;
}

}  // namespace Corvane::Script
