#include "platform/system/ipc/ipc_value.h"

namespace rk::sys::ipc {

char type_code(const IpcValue& value) {
    static constexpr char kCodes[] = {'q', 'i', 'u', 't', 's'};
    return kCodes[value.index()];
}

std::string signature_of(const IpcValues& values) {
    std::string signature;
    signature.reserve(values.size());
    for (const auto& v : values) {
        signature.push_back(type_code(v));
    }
    return signature;
}

}  // namespace rk::sys::ipc
