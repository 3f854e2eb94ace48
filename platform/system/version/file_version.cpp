#include "platform/system/version/file_version.h"

#include "platform/system/file_view.h"
#include "platform/text/format.h"

namespace rk::sys {

VersionInfoStatus get_file_version(std::wstring_view path, FixedFileVersion& version) {
    FileView view;
    if (FileView::open(path, view) != win::kErrorSuccess) {
        return VersionInfoStatus::NoVersionInfo;
    }
    const VersionInfoStatus status = read_file_version(view.bytes(), version);
    return view.intact() ? status : VersionInfoStatus::DataUnreadable;
}

std::wstring file_version_text(const FixedFileVersion& version) {
    return text::format(L"%d.%d.%d.%d", version.file_version_ms >> 16, version.file_version_ms & 0xFFFFu,
                        version.file_version_ls >> 16, version.file_version_ls & 0xFFFFu);
}

}  // namespace rk::sys
