#include "xml_updater/commands/extract_cab_local_command.h"

#include "platform/system/files.h"
#include "platform/system/folder.h"
#include "xml_updater/cab_parser.h"
#include "xml_updater/commands/bool_parse.h"
#include "xml_updater/commands/command_support.h"
#include "xml_updater/file_mem_map.h"
#include "xml_updater/file_signature.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"extract_cab_local_command.cpp";
}  // namespace

bool CExtractCabLocalCommand::Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                                      std::shared_ptr<NTelemetry::NAdHoc::IEventSender> /*sender*/) {
    constexpr wchar_t kFunction[] = L"CExtractCabLocalCommand::Execute";
    if (substitutions == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgInvalidSubstitutor);
        return false;
    }
    auto source = attribute(attributes, kAttrSource);
    auto destination = attribute(attributes, kAttrDestDir);
    if (!source || !destination) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__,
                      L"Unable to read Source and/or DestDir attribute of EXTRACT_CAB_LOCAL command");
        return false;
    }
    bool delete_file = false;
    if (auto text = attribute(attributes, kAttrDeleteFile)) {
        if (!substitutions->Substitute(*text)) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to substitute DeleteFile attribute");
            return false;
        }
        SetAttribute(attributes, kAttrDeleteFile, *text);
        if (!TryParseBool(*text, delete_file)) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__,
                          L"Failed to parse DeleteFile as a boolean - default to false");
            delete_file = false;
        }
    }
    if (!substitutions->Substitute(*source) || !substitutions->Substitute(*destination)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__,
                      L"Unable to substitute variables for the EXTRACT_CAB_LOCAL command");
        return false;
    }
    SetAttribute(attributes, kAttrSource, *source);
    SetAttribute(attributes, kAttrDestDir, *destination);
    return ExecuteExtractCabLocalCommand(*source, *destination, delete_file);
}

bool CExtractCabLocalCommand::ExecuteExtractCabLocalCommand(const std::wstring& source, const std::wstring& destination,
                                                            bool delete_file) {
    constexpr wchar_t kFunction[] = L"CExtractCabLocalCommand::ExecuteExtractCabLocalCommand";
    CFileMemMap cabinet;
    if (!cabinet.Init(source) || !VerifyCorvaneSignatureImpl(cabinet.View())) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to verify signature for file: %s", source);
        return false;
    }
    rk::sys::Folder folder;  // links removed, ".." kept inside its known folder
    if (const rk::DWORD error = rk::sys::prepare_folder_at(destination, rk::sys::FolderCreation::kAll, folder);
        error != rk::win::kErrorSuccess) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to create destination directory (%d)", error);
        return false;
    }
    CCabParser parser(destination);
    const bool extracted = parser.Extract(cabinet.Bytes());
    if (extracted && !cabinet.Intact()) {
        // Not the bytes whose signature was checked: take back what they made.
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Cabinet changed while it was extracted: %s", source);
        parser.RemoveWritten();
    }
    if (!extracted || !cabinet.Intact()) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Failed to extract cab (%s)", source);
        return false;
    }
    if (delete_file) {
        if (const rk::DWORD error = rk::sys::delete_file(source); error != rk::win::kErrorSuccess) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Failed to delete src cab (%d)", error);
        }
    }
    return true;
}

}  // namespace XMLUpdater::v2
