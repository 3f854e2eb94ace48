// Registers the built-in plug-ins with a plug-in factory under their script
// names: "system", "registry", "queue", "logging", "wmi" and
// "contextitemstore" (the engine's one store, kept in `context_items`).
#pragma once

#include <cstdint>
#include <iostream>
#include <memory>
#include <ostream>

#include "script_host/factory_if.h"
#include "script_host/plugins/context_item_store_slot.h"
#include "script_host/plugins/sys_logger.h"

namespace Corvane::Script {

struct BuiltinPluginOptions {
    std::ostream* console = &std::cout;      // WriteToConsole; must outlive the factory
    std::uint16_t syslog_port = kSyslogPort;  // tests only
};

void RegisterBuiltinPlugins(IFactory& factory, const std::shared_ptr<ContextItemStoreSlot>& context_items,
                            const BuiltinPluginOptions& options = {});

}  // namespace Corvane::Script
