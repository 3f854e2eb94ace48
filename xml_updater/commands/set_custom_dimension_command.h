// SET_CD FullName|Name="dimension" Value="text": sets a telemetry custom
// dimension through the event sender.
#pragma once

#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

inline constexpr wchar_t kAttrFullName[] = L"FullName";
inline constexpr wchar_t kAttrName[] = L"Name";

class CSetCustomDimensionCommand : public ICommand, public CCommandFactorySupport<CSetCustomDimensionCommand> {
public:
    bool Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                 std::shared_ptr<NTelemetry::NAdHoc::IEventSender> sender) override;
};

}  // namespace XMLUpdater::v2
