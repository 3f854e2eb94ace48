#include "platform/system/wmi/wbem_locator.h"

#include <string>

#include "platform/text/strings.h"

namespace rk::sys::wmi {

HRESULT WbemLocator::connect_server(std::wstring_view name_space, std::shared_ptr<WbemServices>& services) const {
    services.reset();
    std::wstring path(name_space);
    for (auto& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    for (const std::wstring_view server : {L"\\\\.\\", L"\\\\localhost\\"}) {
        if (text::istarts_with(path, server)) {
            path.erase(0, server.size());
            break;
        }
    }
    if (!path.empty() && !text::iequals(path, L"root\\cimv2")) {
        return win::kWbemEInvalidNamespace;
    }
    services = std::make_shared<WbemServices>(source_);
    return win::kSOk;
}

}  // namespace rk::sys::wmi
