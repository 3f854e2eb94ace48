// The invoker of one scriptable object (a script's global object, a script
// object handed to native code, or a plug-in).
#pragma once

#include <memory>
#include <mutex>

#include "script_host/script_operation_invoker_if.h"
#include "script_host/scriptable_object.h"

namespace Corvane::Script {

class CScriptOperationInvoker : public IScriptOperationInvoker {
public:
    CScriptOperationInvoker(std::shared_ptr<IScriptableObject> target,
                            std::shared_ptr<IScriptOperationDispatcher> dispatcher);

    using IScriptOperationInvoker::Execute;
    using IScriptOperationInvoker::Post;
    bool Execute(const std::wstring& method, std::uint32_t count, const ScriptVariable* args,
                 std::shared_ptr<IScriptOperation>& operation) override;
    bool Post(const std::wstring& method, std::uint32_t count, const ScriptVariable* args) override;
    void SetDispatcher(std::shared_ptr<IScriptOperationDispatcher> dispatcher) override;
    std::shared_ptr<IScriptOperationDispatcher> GetDispatcher() const override;

    const std::shared_ptr<IScriptableObject>& GetTarget() const { return target_; }

private:
    std::shared_ptr<IScriptableObject> target_;
    mutable std::mutex mutex_;
    std::shared_ptr<IScriptOperationDispatcher> dispatcher_;
};

}  // namespace Corvane::Script
