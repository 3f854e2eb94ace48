#include "xml_updater/file_mem_map.h"

#include <fstream>

#include "platform/errors/win_error.h"
#include "platform/system/files.h"
#include "platform/system/paths.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"file_mem_map.cpp";
constexpr wchar_t kFunction[] = L"CFileMemMap::Init";
}  // namespace

bool CFileMemMap::Init(const std::wstring& path) {
    const auto host = rk::sys::to_host_path(path);
    rk::DWORD error = host ? rk::win::kErrorSuccess : rk::win::kErrorBadPathname;
    std::error_code ec;
    if (host && !std::filesystem::is_regular_file(std::filesystem::symlink_status(*host, ec))) {
        error = std::filesystem::exists(std::filesystem::symlink_status(*host, ec)) ? rk::win::kErrorAccessDenied
                                                                                     : rk::win::kErrorFileNotFound;
    }
    if (error != rk::win::kErrorSuccess) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Failed to open the file: %d\n", error);
        return false;
    }
    std::ifstream in(*host, std::ios::binary | std::ios::ate);
    const auto size = in ? static_cast<std::uint64_t>(in.tellg()) : 0;
    if (!in || size > kMaxCabinetBytes) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Failed to map file to memory");
        return false;
    }
    bytes_.resize(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes_.data()), static_cast<std::streamsize>(size))) {
        bytes_.clear();
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Failed to map file to memory");
        return false;
    }
    return true;
}

}  // namespace XMLUpdater::v2
