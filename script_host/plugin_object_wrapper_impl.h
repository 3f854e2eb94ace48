// The method table of a native object: what a script engine binding needs
// to offer the object to scripts. Engine bindings get it through
// IScriptableObject::GetWrapper(); plug-ins fill it once, at construction.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "script_host/argument_check.h"
#include "script_host/script_variable.h"

namespace Corvane::Script {

// A method handler: stores its value in `result` (cleared before the call)
// and reports misuse or failure by throwing.
using MethodHandler = std::function<void(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args)>;

struct MethodEntry {
    std::wstring name;
    // Checked before the handler runs (RequireArguments); empty: no check.
    ArgumentSpec spec;
    MethodHandler handler;
};

using MethodTable = std::vector<MethodEntry>;

class IPluginObjectWrapperImpl {
public:
    virtual ~IPluginObjectWrapperImpl() = default;

    virtual void BeginRegistration() = 0;
    // A later entry of the same name replaces the earlier one.
    virtual void RegisterMethod(MethodEntry entry) = 0;
    virtual void EndRegistration() = 0;

    // Checks the arguments, clears `result` and runs the handler. An unknown
    // method throws std::runtime_error "Object method not implemented: "
    // and the name. Whatever the handler throws is recorded as the last
    // error message and passed on.
    virtual bool Execute(const std::wstring& method, ScriptVariable& result, std::uint32_t count,
                         const ScriptVariable* args) = 0;

    // Registered names in registration order.
    virtual std::vector<std::wstring> MethodNames() const = 0;
    virtual bool HasMethod(const std::wstring& method) const = 0;
    virtual std::wstring GetLastErrorMessage() const = 0;
};

}  // namespace Corvane::Script
