// One instance of a WMI class (IWbemClassObject), with its property values
// in the form IWbemClassObject::Get hands to automation clients.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/errors/win_error.h"

namespace rk::sys::wmi {

// VT_NULL, VT_BOOL, VT_I4 (CIM uint8 to uint32 and sint8 to sint32) and
// VT_BSTR (strings, datetimes, and the 64-bit integers, which WMI gives
// automation clients as decimal text).
using WbemValue = std::variant<std::monostate, bool, std::int32_t, std::wstring>;

struct WbemProperty {
    std::wstring name;
    WbemValue value;
};

class WbemClassObject {
public:
    WbemClassObject(std::wstring class_name, std::vector<WbemProperty> properties)
        : class_name_(std::move(class_name)), properties_(std::move(properties)) {}

    const std::wstring& class_name() const { return class_name_; }
    const std::vector<WbemProperty>& properties() const { return properties_; }

    // IWbemClassObject::Get: the name is matched without regard to case;
    // kWbemENotFound for a property the object does not carry.
    HRESULT get(std::wstring_view name, WbemValue& value) const;

private:
    std::wstring class_name_;
    std::vector<WbemProperty> properties_;
};

}  // namespace rk::sys::wmi
