#include "script_host/plugins/enum_wbem_class_object_scriptable.h"

#include <stdexcept>

#include "platform/text/format.h"
#include "platform/text/utf.h"
#include "script_host/plugins/wbem_class_object_scriptable.h"

namespace Corvane::Script {

CEnumWbemClassObject_Scriptable::CEnumWbemClassObject_Scriptable(
    IScriptEnvironmentFactory* factory, std::shared_ptr<rk::sys::wmi::WbemEnumerator> enumerator)
    : PluginObject(factory, {Method(L"next", {}, this, &CEnumWbemClassObject_Scriptable::next),
                             Method(L"reset", {}, this, &CEnumWbemClassObject_Scriptable::reset)}),
      factory_(factory),
      enumerator_(std::move(enumerator)) {}

void CEnumWbemClassObject_Scriptable::next(ScriptVariable& result, std::uint32_t, const ScriptVariable*) {
    if (!enumerator_) {
        throw std::runtime_error(kMsgEnumNull);
    }
    std::shared_ptr<const rk::sys::wmi::WbemClassObject> object;
    if (enumerator_->next(object) == rk::win::kSOk) {
        result = ScriptVariable(std::make_shared<CWbemClassObject_Scriptable>(factory_, std::move(object)));
    }
}

void CEnumWbemClassObject_Scriptable::reset(ScriptVariable&, std::uint32_t, const ScriptVariable*) {
    if (!enumerator_) {
        throw std::runtime_error(kMsgEnumNull);
    }
    if (const rk::HRESULT hr = enumerator_->reset(); hr != rk::win::kSOk) {
        throw std::runtime_error(rk::text::wide_to_utf8(rk::text::format(kMsgResetFailed, static_cast<std::uint32_t>(hr))));
    }
}

}  // namespace Corvane::Script
