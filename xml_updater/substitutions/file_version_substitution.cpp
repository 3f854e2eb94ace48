#include "xml_updater/substitutions/file_version_substitution.h"

#include <string>

#include "platform/system/file_view.h"
#include "platform/text/format.h"
#include "xml_updater/substitutions/pe_version_reader.h"
#include "xml_updater/substitutions/substitution_constants.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"file_version_substitution.cpp";
constexpr wchar_t kFunction[] = L"CFileVersionSubstitution::Substitute";
}  // namespace

std::wstring CFileVersionSubstitution::Substitute(const std::wstring& arguments, CSubstitutionManager* /*manager*/) {
    VersionInfoStatus status = VersionInfoStatus::NoVersionInfo;
    FixedFileVersion version;
    rk::sys::FileView view;
    if (rk::sys::FileView::open(arguments, view) == rk::win::kErrorSuccess) {
        status = read_file_version(view.bytes(), version);
        if (!view.intact()) {
            status = VersionInfoStatus::DataUnreadable;
        }
    }
    const wchar_t* message = nullptr;
    switch (status) {
    case VersionInfoStatus::Ok:
        return rk::text::format(L"%d.%d.%d.%d", version.file_version_ms >> 16, version.file_version_ms & 0xFFFFu,
                                version.file_version_ls >> 16, version.file_version_ls & 0xFFFFu);
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
