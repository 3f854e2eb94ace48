#include "framework_client/message_types.h"

#include <array>

namespace ctp {

std::string_view message_type_name(std::uint16_t type) {
    static constexpr std::array<std::string_view, 24> kNames = {
        "",
        "framework.client.publish",
        "framework.client.subscribe",
        "framework.client.signal",
        "framework.client.listen",
        "framework.client.register_settings",
        "framework.client.register_events",
        "framework.client.unsubscribe",
        "framework.client.get_setting",
        "framework.client.set_setting",
        "framework.module.subscribe",
        "framework.module.listen",
        "framework.module.unsubscribe",
        "framework.response.invoke",
        "framework.response.signal",
        "framework.response.system_event",
        "framework.response.setting_change",
        "framework.console.invoke",
        "framework.console.invoke.cancel",
        "framework.console.print",
        "framework.console.result",
        "framework.console.allocate",
        "framework.console.subscribe",
        "framework.module.register_settings",
    };
    return type < kNames.size() ? kNames[type] : std::string_view();
}

}  // namespace ctp
