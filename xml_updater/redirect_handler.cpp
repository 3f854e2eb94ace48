#include "xml_updater/redirect_handler.h"

#include "xml_updater/updater.h"

namespace XMLUpdater::v2 {

bool CRedirectHandler::Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                               std::shared_ptr<NTelemetry::NAdHoc::IEventSender> /*sender*/) {
    return updater_.Redirect(attributes, substitutions);
}

}  // namespace XMLUpdater::v2
