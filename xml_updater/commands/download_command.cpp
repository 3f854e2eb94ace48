#include "xml_updater/commands/download_command.h"

#include <system_error>

#include "platform/system/files.h"
#include "platform/system/paths.h"
#include "xml_updater/commands/command_support.h"
#include "xml_updater/commands/download_ex_command.h"
#include "xml_updater/commands/download_signature_policy.h"
#include "xml_updater/download_file.h"
#include "xml_updater/download_progress.h"
#include "xml_updater/file_signature.h"
#include "xml_updater/md5_checksum.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/updater.h"
#include "xml_updater/web_cache/object_folder.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"download_command.cpp";
constexpr wchar_t kFunction[] = L"CDownloadCommand::DownloadCommand";
}  // namespace

bool CDownloadCommand::Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                               std::shared_ptr<NTelemetry::NAdHoc::IEventSender> /*sender*/) {
    if (substitutions == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, L"CDownloadCommand::Execute", __LINE__, kMsgInvalidSubstitutor);
        return false;
    }
    return DownloadCommand(attributes, *substitutions);
}

bool CDownloadCommand::DownloadCommand(AttributeMap& attributes, CSubstitutionManager& substitutions) {
    auto location = attribute(attributes, kAttrLocation);
    auto directory = attribute(attributes, kAttrDestDir);
    if (!location || !directory) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__,
                      L"Unable to read Location and/or DestDir attribute of DOWNLOAD command");
        return false;
    }
    std::wstring md5 = attribute(attributes, kAttrMd5).value_or(L"");
    std::wstring file_name = attribute(attributes, kAttrDestFile).value_or(L"");
    if (!substitutions.Substitute(*location) || !substitutions.Substitute(*directory) ||
        !substitutions.Substitute(md5)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to get substitute download variables");
        return false;
    }
    attributes[kAttrLocation] = *location;
    attributes[kAttrDestDir] = *directory;
    try {
        const web_cache::ObjectFolder folder(*directory);  // a link there is removed, the folder created
    } catch (const std::system_error& error) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to create destination directory (%d)",
                      error.code().value());
        return false;
    }
    if (!substitutions.Substitute(file_name)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to get substitute download variables");
        return false;
    }
    DownloadProgress progress(updater_.progress().get(), attribute(attributes, kAttrId).value_or(L""),
                              attribute(attributes, kAttrExtra).value_or(L""));
    std::wstring digest;
    std::wstring path;
    if (!NHttp::NDownloadFile::StoreOnDisk(*location, *directory, file_name, true, &updater_.proxy_settings(),
                                           progress, digest, path)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to download %s", *location);
        return false;
    }
    const auto split = rk::sys::split_path(path);
    const auto host_path = rk::sys::to_host_path(path).value_or(std::filesystem::path());
    if (RequiresSignatureCheck(split.file_name + split.extension, host_path) && !VerifyCorvaneSignatureImpl(path)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to verify signature, deleting file: %s", path);
        rk::sys::delete_file(path, true);
        progress.finish(kProgressRejected, L"signature");
        return false;
    }
    if (!md5.empty() && !Md5PrefixMatches(md5, digest)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to verify MD5, deleting file: %s", path);
        rk::sys::delete_file(path, true);
        progress.finish(kProgressRejected, L"MD5");
        return false;
    }
    return true;
}

}  // namespace XMLUpdater::v2
