#include "script_host/plugins/wbem_locator_scriptable.h"

#include <system_error>

#include "platform/errors/wbem_error_category.h"
#include "platform/text/utf.h"
#include "script_host/plugins/wbem_services_scriptable.h"

namespace Corvane::Script {

CWbemLocator_Scriptable::CWbemLocator_Scriptable(IScriptEnvironmentFactory* factory,
                                                 std::shared_ptr<rk::sys::wmi::WbemLocator> locator)
    : PluginObject(factory, {Method(L"connectServer", {kArgString}, this, &CWbemLocator_Scriptable::connectServer)}),
      factory_(factory),
      locator_(locator ? std::move(locator) : std::make_shared<rk::sys::wmi::WbemLocator>()) {}

void CWbemLocator_Scriptable::connectServer(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) {
    const std::wstring& name_space = args[0].GetString();
    std::shared_ptr<rk::sys::wmi::WbemServices> services;
    if (const rk::HRESULT hr = locator_->connect_server(name_space, services); hr != rk::win::kSOk) {
        throw std::system_error(dira_doro::make_wbem_error_code(hr), kMsgConnectFailed + rk::text::wide_to_utf8(name_space));
    }
    result = ScriptVariable(std::make_shared<CWbemServices_Scriptable>(factory_, std::move(services)));
}

}  // namespace Corvane::Script
