// The base of every plug-in: "GetName", "GetVersion" and
// "GetLastErrorMessage", then the plug-in's own methods.
//
//   class CQueuePlugin : public PluginObject {
//   public:
//       explicit CQueuePlugin(IScriptEnvironmentFactory* f)
//           : PluginObject(f, {Method(L"Push", {kArgAny}, this, &CQueuePlugin::Push)}) {}
//       std::wstring GetName() override { return L"..."; }
//   private:
//       void Push(ScriptVariable& result, std::uint32_t count, const ScriptVariable* args);
//   };
//
// Handlers run on the script thread. They report misuse and failures by
// throwing (std::logic_error, std::runtime_error); the script sees an Error
// whose message is the exception's text.
#pragma once

#include <cstdint>
#include <string>

#include "script_host/plugin_object_wrapper.h"

namespace Corvane::Script {

class PluginObject : public PluginObjectWrapper {
public:
    PluginObject(IScriptEnvironmentFactory* factory, MethodTable methods);

    // The text of the last exception a method threw (empty when none).
    std::wstring GetLastErrorMessage() const;

protected:
    template <typename T>
    static MethodEntry Method(std::wstring name, ArgumentSpec spec, T* self,
                              void (T::*handler)(ScriptVariable&, std::uint32_t, const ScriptVariable*)) {
        return {std::move(name), std::move(spec),
                [self, handler](ScriptVariable& result, std::uint32_t count, const ScriptVariable* args) {
                    (self->*handler)(result, count, args);
                }};
    }
};

}  // namespace Corvane::Script
