#include "xml_updater/file_mem_map.h"

#include "platform/errors/win_error.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"file_mem_map.cpp";
constexpr wchar_t kFunction[] = L"CFileMemMap::Init";
}  // namespace

bool CFileMemMap::Init(const std::wstring& path) {
    rk::sys::File file;
    if (const rk::DWORD error = rk::sys::File::open(path, rk::sys::FileOpenOptions{}, file);
        error != rk::win::kErrorSuccess) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Failed to open the file: %d\n", error);
        return false;
    }
    std::uint64_t size = 0;
    if (file.size(size) != rk::win::kErrorSuccess || size > kMaxCabinetBytes ||
        rk::sys::FileView::open(file, view_) != rk::win::kErrorSuccess) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Failed to map file to memory");
        return false;
    }
    return true;
}

}  // namespace XMLUpdater::v2
