#include "script_host/plugins/wbem_class_object_scriptable.h"

#include <stdexcept>

#include "platform/text/format.h"
#include "platform/text/utf.h"

namespace Corvane::Script {

CWbemClassObject_Scriptable::CWbemClassObject_Scriptable(IScriptEnvironmentFactory* factory,
                                                         std::shared_ptr<const rk::sys::wmi::WbemClassObject> object)
    : PluginObject(factory, {Method(L"Get", {kArgString}, this, &CWbemClassObject_Scriptable::Get)}),
      object_(std::move(object)) {}

void CWbemClassObject_Scriptable::Get(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) {
    if (!object_) {
        throw std::runtime_error(kMsgClassObjectNull);
    }
    const std::wstring& name = args[0].GetString();
    rk::sys::wmi::WbemValue value;
    if (const rk::HRESULT hr = object_->get(name, value); hr != rk::win::kSOk) {
        throw std::runtime_error(
            rk::text::wide_to_utf8(rk::text::format(kMsgNoSuchProperty, name, static_cast<std::uint32_t>(hr))));
    }
    if (const auto* flag = std::get_if<bool>(&value)) {
        result = ScriptVariable(*flag);
    } else if (const auto* number = std::get_if<std::int32_t>(&value)) {
        result = ScriptVariable(*number);
    } else if (const auto* text = std::get_if<std::wstring>(&value)) {
        result = ScriptVariable(*text);
    }
}

}  // namespace Corvane::Script
