#include "script_host/plugins/wbem_services_scriptable.h"

#include <stdexcept>
#include <system_error>

#include "platform/errors/wbem_error_category.h"
#include "platform/text/utf.h"
#include "script_host/plugins/enum_wbem_class_object_scriptable.h"

namespace Corvane::Script {

CWbemServices_Scriptable::CWbemServices_Scriptable(IScriptEnvironmentFactory* factory,
                                                   std::shared_ptr<rk::sys::wmi::WbemServices> services)
    : PluginObject(factory, {Method(L"execQuery", {kArgString}, this, &CWbemServices_Scriptable::execQuery)}),
      factory_(factory),
      services_(std::move(services)) {}

void CWbemServices_Scriptable::execQuery(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) {
    if (!services_) {
        throw std::runtime_error(kMsgServiceNull);
    }
    const std::wstring& query = args[0].GetString();
    std::shared_ptr<rk::sys::wmi::WbemEnumerator> enumerator;
    if (const rk::HRESULT hr = services_->exec_query(L"WQL", query, enumerator); hr != rk::win::kSOk) {
        throw std::system_error(dira_doro::make_wbem_error_code(hr),
                                kMsgQueryFailed + ("'" + rk::text::wide_to_utf8(query) + "'"));
    }
    result = ScriptVariable(std::make_shared<CEnumWbemClassObject_Scriptable>(factory_, std::move(enumerator)));
}

}  // namespace Corvane::Script
