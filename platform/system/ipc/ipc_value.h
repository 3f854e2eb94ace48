// Values that travel in local service calls: the few scalar kinds the
// product's services use, each with its D-Bus type code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace rk::sys::ipc {

// q, i, u, t, s
using IpcValue = std::variant<std::uint16_t, std::int32_t, std::uint32_t, std::uint64_t, std::string>;
using IpcValues = std::vector<IpcValue>;

// The type code of one value ('q', 'i', 'u', 't', 's').
char type_code(const IpcValue& value);

// The signature of a list of values ("qss").
std::string signature_of(const IpcValues& values);

}  // namespace rk::sys::ipc
