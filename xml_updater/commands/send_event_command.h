// SEND_EVENT ec="category" ea="action" [el="label"] [r1..r5]: sends a
// telemetry event. The legacy form (no ec or ea) takes Name and sends it as
// the action of category "Invalid".
#pragma once

#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

inline constexpr wchar_t kAttrCategory[] = L"ec";
inline constexpr wchar_t kAttrAction[] = L"ea";
inline constexpr wchar_t kAttrLabel[] = L"el";
inline constexpr wchar_t kDefaultLabel[] = L"default";
inline constexpr wchar_t kLegacyCategory[] = L"Invalid";

class CSendEventCommand : public ICommand, public CCommandFactorySupport<CSendEventCommand> {
public:
    bool Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                 std::shared_ptr<NTelemetry::NAdHoc::IEventSender> sender) override;
};

}  // namespace XMLUpdater::v2
