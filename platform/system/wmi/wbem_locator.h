// The entry to the machine-query provider (IWbemLocator): WMI-style queries
// over machine facts for the few classes scripts use.
#pragma once

#include <memory>
#include <string_view>

#include "platform/errors/win_error.h"
#include "platform/system/wmi/machine_source.h"
#include "platform/system/wmi/wbem_services.h"

namespace rk::sys::wmi {

class WbemLocator {
public:
    explicit WbemLocator(std::shared_ptr<MachineSource> source = system_machine_source())
        : source_(std::move(source)) {}

    // IWbemLocator::ConnectServer on the local machine: the namespace is
    // "root\cimv2" (any case, "/" or "\" separators, optionally after
    // "\\.\" or "\\localhost\"); empty means root\cimv2 too, as WMI's default
    // namespace. Any other is kWbemEInvalidNamespace.
    HRESULT connect_server(std::wstring_view name_space, std::shared_ptr<WbemServices>& services) const;

private:
    std::shared_ptr<MachineSource> source_;
};

}  // namespace rk::sys::wmi
