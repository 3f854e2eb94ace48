// SETVAR Key="name" Value="text": sets an engine variable to the expanded
// Value.
#pragma once

#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

inline constexpr wchar_t kAttrKey[] = L"Key";

class CSetVariableCommand : public ICommand, public CCommandFactorySupport<CSetVariableCommand> {
public:
    bool Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                 std::shared_ptr<NTelemetry::NAdHoc::IEventSender> sender) override;
};

}  // namespace XMLUpdater::v2
