// Calls methods of one scriptable object through the dispatcher of the
// thread that owns it. Arguments are copied into the operation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "script_host/script_operation_if.h"
#include "script_host/script_variable.h"

namespace Corvane::Script {

class IScriptOperationDispatcher;

class IScriptOperationInvoker {
public:
    virtual ~IScriptOperationInvoker() = default;

    // Runs the call at once on the dispatch thread (or without a
    // dispatcher), else queues it; `operation` is the call to Wait for.
    // False (and no operation) when the dispatcher no longer takes work.
    virtual bool Execute(const std::wstring& method, std::uint32_t count, const ScriptVariable* args,
                         std::shared_ptr<IScriptOperation>& operation) = 0;
    // Always queues (without a dispatcher: runs at once); fire and forget.
    virtual bool Post(const std::wstring& method, std::uint32_t count, const ScriptVariable* args) = 0;

    virtual void SetDispatcher(std::shared_ptr<IScriptOperationDispatcher> dispatcher) = 0;
    virtual std::shared_ptr<IScriptOperationDispatcher> GetDispatcher() const = 0;

    // The 0 to 3 argument forms.
    bool Execute(const std::wstring& method, std::shared_ptr<IScriptOperation>& operation) {
        return Execute(method, 0, nullptr, operation);
    }
    bool Execute(const std::wstring& method, const ScriptVariable& a1, std::shared_ptr<IScriptOperation>& operation) {
        return Execute(method, 1, &a1, operation);
    }
    bool Execute(const std::wstring& method, const ScriptVariable& a1, const ScriptVariable& a2,
                 std::shared_ptr<IScriptOperation>& operation) {
        const ScriptVariable args[] = {a1, a2};
        return Execute(method, 2, args, operation);
    }
    bool Execute(const std::wstring& method, const ScriptVariable& a1, const ScriptVariable& a2,
                 const ScriptVariable& a3, std::shared_ptr<IScriptOperation>& operation) {
        const ScriptVariable args[] = {a1, a2, a3};
        return Execute(method, 3, args, operation);
    }
    bool Post(const std::wstring& method) { return Post(method, 0, nullptr); }
    bool Post(const std::wstring& method, const ScriptVariable& a1) { return Post(method, 1, &a1); }
    bool Post(const std::wstring& method, const ScriptVariable& a1, const ScriptVariable& a2) {
        const ScriptVariable args[] = {a1, a2};
        return Post(method, 2, args);
    }
    bool Post(const std::wstring& method, const ScriptVariable& a1, const ScriptVariable& a2,
              const ScriptVariable& a3) {
        const ScriptVariable args[] = {a1, a2, a3};
        return Post(method, 3, args);
    }
};

}  // namespace Corvane::Script
