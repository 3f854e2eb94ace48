// REDIRECT Location="url": runs the document at the expanded Location on the
// same engine (CUpdater::Redirect).
#pragma once

#include "xml_updater/command_if.h"

namespace XMLUpdater::v2 {

class CUpdater;

class CRedirectHandler : public ICommand {
public:
    explicit CRedirectHandler(CUpdater& updater) : updater_(updater) {}
    bool Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                 std::shared_ptr<NTelemetry::NAdHoc::IEventSender> sender) override;

private:
    CUpdater& updater_;
};

}  // namespace XMLUpdater::v2
