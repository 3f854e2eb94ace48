// EXTRACT_CAB_LOCAL Source="cabinet" DestDir="folder" [DeleteFile="TRUE"]:
// unpacks a signed local cabinet into a folder.
#pragma once

#include <string>

#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

class CExtractCabLocalCommand : public ICommand, public CCommandFactorySupport<CExtractCabLocalCommand> {
public:
    static constexpr wchar_t kAttrSource[] = L"Source";
    static constexpr wchar_t kAttrDestDir[] = L"DestDir";
    static constexpr wchar_t kAttrDeleteFile[] = L"DeleteFile";

    bool Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                 std::shared_ptr<NTelemetry::NAdHoc::IEventSender> sender) override;

    // Checks the signature, prepares the folder, extracts, and deletes the
    // cabinet when asked (a failed delete is only logged).
    static bool ExecuteExtractCabLocalCommand(const std::wstring& source, const std::wstring& destination,
                                              bool delete_file);
};

}  // namespace XMLUpdater::v2
