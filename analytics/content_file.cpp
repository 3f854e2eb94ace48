#include "analytics/content_file.h"

#include <cerrno>

#include "platform/errors/errno_map.h"
#include "platform/system/paths.h"

namespace Halden::Analytics::internal {

FilePtr OpenForReading(const std::wstring& path, rk::DWORD& error) {
    const auto host = rk::sys::to_host_path(path);
    if (!host) {
        error = rk::win::kErrorBadPathname;
        return nullptr;
    }
    errno = 0;
    FilePtr file(std::fopen(host->c_str(), "rb"));
    error = file ? 0 : rk::win::from_errno(errno != 0 ? errno : ENOENT);
    return file;
}

}  // namespace Halden::Analytics::internal
