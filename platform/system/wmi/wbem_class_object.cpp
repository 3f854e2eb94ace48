#include "platform/system/wmi/wbem_class_object.h"

#include "platform/text/strings.h"

namespace rk::sys::wmi {

HRESULT WbemClassObject::get(std::wstring_view name, WbemValue& value) const {
    for (const auto& property : properties_) {
        if (text::iequals(property.name, name)) {
            value = property.value;
            return win::kSOk;
        }
    }
    value = std::monostate{};
    return win::kWbemENotFound;
}

}  // namespace rk::sys::wmi
