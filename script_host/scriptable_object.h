// An object whose methods can be called by name: native plug-ins seen from
// scripts, and script objects seen from native code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "script_host/script_variable.h"

namespace Corvane::Script {

class IPluginObjectWrapperImpl;
class IScriptOperationDispatcher;

class IScriptableObject {
public:
    virtual ~IScriptableObject() = default;

    // Runs the method with `count` arguments (`args` is null when count is
    // 0) and stores its value in `result`. False when the call failed. May
    // throw: argument misuse as std::logic_error, other failures as
    // std::runtime_error (the script binding turns them into script errors;
    // the operation machinery logs them).
    virtual bool Execute(const std::wstring& method, ScriptVariable& result, std::uint32_t count,
                         const ScriptVariable* args) = 0;

    // The engine-neutral method table behind the object, created on first
    // use; null for objects that have none (script objects).
    virtual std::shared_ptr<IPluginObjectWrapperImpl> GetWrapper() = 0;

    virtual std::wstring GetName() = 0;
    virtual std::wstring GetVersion() = 0;

    // Objects that live in a script engine run their methods only on that
    // engine's thread: the dispatcher tells callers where to queue them.
    virtual void SetDispatcher(std::shared_ptr<IScriptOperationDispatcher> dispatcher);
    virtual std::shared_ptr<IScriptOperationDispatcher> GetDispatcher() const;
};

}  // namespace Corvane::Script
