#include "xml_updater/substitutions/file_version_substitution.h"

#include <string>

#include "platform/system/version/file_version.h"
#include "xml_updater/substitutions/substitution_constants.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"file_version_substitution.cpp";
constexpr wchar_t kFunction[] = L"CFileVersionSubstitution::Substitute";
}  // namespace

std::wstring CFileVersionSubstitution::Substitute(const std::wstring& arguments, CSubstitutionManager* /*manager*/) {
    using rk::sys::VersionInfoStatus;
    rk::sys::FixedFileVersion version;
    const VersionInfoStatus status = rk::sys::get_file_version(arguments, version);
    const wchar_t* message = nullptr;
    switch (status) {
    case VersionInfoStatus::Ok:
        return rk::sys::file_version_text(version);
    case VersionInfoStatus::NoVersionInfo:
        message = kMsgNoVersionInfoSize;
        break;
    case VersionInfoStatus::DataUnreadable:
        message = kMsgNoVersionData;
        break;
    case VersionInfoStatus::QueryFailed:
        message = kMsgVerQueryFailed;
        break;
    case VersionInfoStatus::EmptyRootBlock:
        message = kMsgEmptyVersionInfo;
        break;
    }
    XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, message, arguments);
    return kUnknownValue;
}

}  // namespace XMLUpdater::v2
