#include "script_host/script_operation_invoker.h"

#include "script_host/script_operation.h"
#include "script_host/script_operation_dispatcher_if.h"

namespace Corvane::Script {

CScriptOperationInvoker::CScriptOperationInvoker(std::shared_ptr<IScriptableObject> target,
                                                 std::shared_ptr<IScriptOperationDispatcher> dispatcher)
    : target_(std::move(target)), dispatcher_(std::move(dispatcher)) {}

bool CScriptOperationInvoker::Execute(const std::wstring& method, std::uint32_t count, const ScriptVariable* args,
                                      std::shared_ptr<IScriptOperation>& operation) {
    const auto dispatcher = GetDispatcher();
    auto op = std::make_shared<CScriptOperation>(target_, method, count, args, dispatcher);
    if (dispatcher && !dispatcher->IsDispatchThread()) {
        if (!dispatcher->Post(op)) {
            operation.reset();
            return false;
        }
    } else {
        op->Execute();
    }
    operation = std::move(op);
    return true;
}

bool CScriptOperationInvoker::Post(const std::wstring& method, std::uint32_t count, const ScriptVariable* args) {
    const auto dispatcher = GetDispatcher();
    auto op = std::make_shared<CScriptOperation>(target_, method, count, args, dispatcher);
    if (dispatcher) {
        return dispatcher->Post(std::move(op));
    }
    op->Execute();
    return true;
}

void CScriptOperationInvoker::SetDispatcher(std::shared_ptr<IScriptOperationDispatcher> dispatcher) {
    std::lock_guard lock(mutex_);
    dispatcher_ = std::move(dispatcher);
}

std::shared_ptr<IScriptOperationDispatcher> CScriptOperationInvoker::GetDispatcher() const {
    std::lock_guard lock(mutex_);
    return dispatcher_;
}

}  // namespace Corvane::Script
