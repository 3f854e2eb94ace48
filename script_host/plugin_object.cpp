#include "script_host/plugin_object.h"

namespace Corvane::Script {
namespace {

MethodTable with_common_methods(PluginObject* self, MethodTable own) {
    MethodTable all;
    all.reserve(own.size() + 3);
    all.push_back({L"GetName", {}, [self](ScriptVariable& r, std::uint32_t, const ScriptVariable*) {
                       r = ScriptVariable(self->GetName());
                   }});
    all.push_back({L"GetVersion", {}, [self](ScriptVariable& r, std::uint32_t, const ScriptVariable*) {
                       r = ScriptVariable(self->GetVersion());
                   }});
    all.push_back({L"GetLastErrorMessage", {}, [self](ScriptVariable& r, std::uint32_t, const ScriptVariable*) {
                       r = ScriptVariable(self->GetLastErrorMessage());
                   }});
    for (auto& m : own) {
        all.push_back(std::move(m));
    }
    return all;
}

}  // namespace

PluginObject::PluginObject(IScriptEnvironmentFactory* factory, MethodTable methods)
    : PluginObjectWrapper(factory, with_common_methods(this, std::move(methods))) {}

std::wstring PluginObject::GetLastErrorMessage() const { return wrapper_->GetLastErrorMessage(); }

}  // namespace Corvane::Script
