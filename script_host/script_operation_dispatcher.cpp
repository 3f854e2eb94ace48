#include "script_host/script_operation_dispatcher.h"

#include <array>

#include "platform/logging/process_logger.h"
#include "script_host/script_operation.h"

namespace Corvane::Script {
namespace {

constexpr wchar_t kFile[] = L"script_operation_dispatcher.cpp";

// Runs a native task as the target of an operation.
class TaskObject : public IScriptableObject {
public:
    explicit TaskObject(std::function<void()> task) : task_(std::move(task)) {}
    bool Execute(const std::wstring&, ScriptVariable&, std::uint32_t, const ScriptVariable*) override {
        task_();
        return true;
    }
    std::shared_ptr<IPluginObjectWrapperImpl> GetWrapper() override { return nullptr; }
    std::wstring GetName() override { return L"task"; }
    std::wstring GetVersion() override { return {}; }

private:
    std::function<void()> task_;
};

}  // namespace

CScriptOperationDispatcher::CScriptOperationDispatcher() : thread_(std::this_thread::get_id()) {}

CScriptOperationDispatcher::~CScriptOperationDispatcher() { Close(); }

void CScriptOperationDispatcher::Run(rk::sys::WaitableEvent& stop) {
    thread_ = std::this_thread::get_id();
    running_ = true;
    std::array<rk::sys::Waitable*, 3> objects{&stop, &work_, &timers_.waitable()};
    for (;;) {
        const rk::DWORD r = rk::sys::wait_for_any(objects, rk::win::kInfinite);
        if (r == rk::win::kWaitObject0) {
            break;
        }
        if (r == rk::win::kWaitFailed) {
            if (IsLogLevelEnabled(rk::log_level::kCritical)) {
                LogMessage(rk::log_level::kCritical, kFile, L"CScriptOperationDispatcher::Run", __LINE__,
                           kMsgDispatcherWaitFailed);
            }
            break;
        }
        if (r == rk::win::kWaitObject0 + 1) {
            std::shared_ptr<IScriptOperation> op;
            {
                std::lock_guard lock(mutex_);
                if (!queue_.empty()) {
                    op = std::move(queue_.front());
                    queue_.pop_front();
                }
                if (!queue_.empty()) {
                    work_.set();
                }
            }
            if (op) {
                op->Execute();
            }
        }
        timers_.RunDue(ScriptTimerQueue::Clock::now());
    }
    Close();
    running_ = false;
}

bool CScriptOperationDispatcher::Post(std::shared_ptr<IScriptOperation> operation) {
    if (!operation) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return false;
        }
        queue_.push_back(std::move(operation));
    }
    work_.set();
    return true;
}

bool CScriptOperationDispatcher::PostTask(std::function<void()> task) {
    auto target = std::make_shared<TaskObject>(std::move(task));
    return Post(std::make_shared<CScriptOperation>(std::move(target), L"task", 0, nullptr, nullptr));
}

bool CScriptOperationDispatcher::IsDispatchThread() const { return thread_.load() == std::this_thread::get_id(); }

std::size_t CScriptOperationDispatcher::Pending() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

void CScriptOperationDispatcher::Close() {
    std::deque<std::shared_ptr<IScriptOperation>> left;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        left.swap(queue_);
    }
    for (auto& op : left) {
        op->Cancel();
    }
    timers_.Clear();
}

}  // namespace Corvane::Script
