// Names of the framework's 16-bit message types; the name travels with the
// message.
#pragma once

#include <cstdint>
#include <string_view>

namespace ctp {

// "framework.client.publish" for 1 ... "framework.module.register_settings"
// for 23; any other code has an empty name.
std::string_view message_type_name(std::uint16_t type);

}  // namespace ctp
