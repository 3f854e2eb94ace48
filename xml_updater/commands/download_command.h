// DOWNLOAD Location="url" DestDir="folder" [DestFile] [MD5] [id] [extra]:
// downloads the file with NDownloadFile::StoreOnDisk (the engine's proxy
// settings, an existing file kept as ".bak"), then refuses unsigned
// programs and cabinets and a file whose MD5 does not start with `MD5`.
#pragma once

#include "xml_updater/command_if.h"

namespace XMLUpdater::v2 {

class CUpdater;

class CDownloadCommand : public ICommand {
public:
    explicit CDownloadCommand(CUpdater& updater) : updater_(updater) {}
    bool Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                 std::shared_ptr<NTelemetry::NAdHoc::IEventSender> sender) override;
    bool DownloadCommand(AttributeMap& attributes, CSubstitutionManager& substitutions);

private:
    CUpdater& updater_;
};

}  // namespace XMLUpdater::v2
