// A command of an update document (a child element of UPDATECOMMANDS).
#pragma once

#include <memory>

#include "xml_updater/attribute_map.h"
#include "xml_updater/event_sender_if.h"

namespace XMLUpdater::v2 {

class CSubstitutionManager;

class ICommand {
public:
    // `attributes` is the element's map; handlers expand values in place.
    // `substitutions` may be null (handlers then log "invalid substitutor"
    // and fail); `sender` may be empty.
    virtual bool Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                         std::shared_ptr<NTelemetry::NAdHoc::IEventSender> sender) = 0;
    virtual ~ICommand() = default;
};

using CommandCreator = std::unique_ptr<ICommand> (*)();

}  // namespace XMLUpdater::v2
