// The WMI classes the machine-query provider answers on Linux, built from
// machine files (see docs/script-plugins.md for where each property comes
// from).
#pragma once

#include <string_view>
#include <vector>

#include "platform/system/wmi/machine_source.h"
#include "platform/system/wmi/wbem_class_object.h"

namespace rk::sys::wmi {

class WmiClass {
public:
    virtual ~WmiClass() = default;
    // The class name as WMI spells it ("Win32_OperatingSystem").
    virtual std::wstring_view name() const = 0;
    // Every property an instance carries, in order.
    virtual const std::vector<std::wstring_view>& properties() const = 0;
    // The instances of the machine now.
    virtual std::vector<WbemClassObject> instances(const MachineSource& source) const = 0;
};

// Win32_OperatingSystem, Win32_ComputerSystem, Win32_Processor, Win32_BIOS,
// Win32_LogicalDisk, matched without regard to case; null for other names.
const WmiClass* find_wmi_class(std::wstring_view name);

}  // namespace rk::sys::wmi
