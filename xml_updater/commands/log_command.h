// LOG Level="n" Message="text": writes "BSI XML Log: <message>" to the
// engine log at level 0 to 4.
#pragma once

#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

inline constexpr wchar_t kAttrLevel[] = L"Level";
inline constexpr wchar_t kAttrMessage[] = L"Message";
inline constexpr int kLogCommandMaxLevel = 4;

class CLogCommand : public ICommand, public CCommandFactorySupport<CLogCommand> {
public:
    bool Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                 std::shared_ptr<NTelemetry::NAdHoc::IEventSender> sender) override;

    static bool LogCommand(const std::wstring& level, const std::wstring& message);
};

}  // namespace XMLUpdater::v2
