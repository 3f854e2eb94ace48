// A connection to one WMI namespace (IWbemServices) of the machine-query
// provider. Only root\cimv2 exists.
#pragma once

#include <memory>
#include <string_view>

#include "platform/errors/win_error.h"
#include "platform/system/wmi/machine_source.h"
#include "platform/system/wmi/wbem_enumerator.h"

namespace rk::sys::wmi {

class WbemServices {
public:
    explicit WbemServices(std::shared_ptr<MachineSource> source) : source_(std::move(source)) {}

    // IWbemServices::ExecQuery: `language` must be "WQL" (any case), else
    // kWbemEInvalidQueryType. A query outside the subset (wql_parser.h), or
    // naming a property the class does not have, is kWbemEInvalidQuery; an
    // unknown class is kWbemEInvalidClass. The instances are read when the
    // query runs; the objects carry the selected properties only. WHERE
    // compares the text forms without regard to case (integers in decimal,
    // booleans as TRUE/FALSE); a null value never matches.
    HRESULT exec_query(std::wstring_view language, std::wstring_view query,
                       std::shared_ptr<WbemEnumerator>& enumerator) const;

private:
    std::shared_ptr<MachineSource> source_;
};

}  // namespace rk::sys::wmi
