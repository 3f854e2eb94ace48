// DOWNLOADEX Location="url" DestDir="folder" [DestFile] [MD5] [id] [extra]
// [ProgressPipeName]: fetches the file through the resumable web cache into
// DestDir (with its ".skvs" metadata beside it) and refuses unsigned
// programs and cabinets. Progress goes to a progress_manager_ex only.
#pragma once

#include "xml_updater/command_if.h"

namespace XMLUpdater::v2 {

class CUpdater;

inline constexpr wchar_t kAttrDestDir[] = L"DestDir";
inline constexpr wchar_t kAttrDestFile[] = L"DestFile";
inline constexpr wchar_t kAttrMd5[] = L"MD5";
inline constexpr wchar_t kAttrId[] = L"id";
inline constexpr wchar_t kAttrExtra[] = L"extra";
inline constexpr wchar_t kAttrProgressPipeName[] = L"ProgressPipeName";

class CDownloadExCommand : public ICommand {
public:
    explicit CDownloadExCommand(CUpdater& updater) : updater_(updater) {}
    bool Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                 std::shared_ptr<NTelemetry::NAdHoc::IEventSender> sender) override;

private:
    CUpdater& updater_;
};

}  // namespace XMLUpdater::v2
