#include "platform/logging/etw_util.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "platform/system/files.h"
#include "platform/system/paths.h"
#include "platform/text/strings.h"

namespace ETWUtil {
namespace {

// The components of a system path's host form; empty ones (a trailing
// separator) left out.
std::optional<std::vector<std::filesystem::path>> host_components(const std::wstring& path) {
    const auto host = rk::sys::to_host_path(path);
    if (!host) {
        return std::nullopt;
    }
    std::vector<std::filesystem::path> parts;
    for (const auto& part : host->lexically_normal()) {
        if (!part.empty()) {
            parts.push_back(part);
        }
    }
    return parts;
}

bool starts_with_components(const std::vector<std::filesystem::path>& folder,
                            const std::vector<std::filesystem::path>& base) {
    return folder.size() >= base.size() &&
           std::equal(base.begin(), base.end(), folder.begin(), [](const auto& a, const auto& b) {
               return rk::text::iequals(rk::sys::wide_path(a), rk::sys::wide_path(b));
           });
}

}  // namespace

bool IsBelowFolder(const std::wstring& base, const std::wstring& folder) {
    const auto b = host_components(base);
    const auto f = host_components(folder);
    return b && f && starts_with_components(*f, *b);
}

rk::DWORD DeleteReparsePoint(const std::wstring& base, const std::wstring& folder) {
    const auto b = host_components(base);
    const auto f = host_components(folder);
    if (!b || !f || !starts_with_components(*f, *b)) {
        return rk::win::kErrorInvalidParameter;
    }
    std::filesystem::path level;
    for (std::size_t i = 0; i < b->size(); ++i) {
        level /= (*f)[i];
    }
    for (std::size_t i = b->size(); i < f->size(); ++i) {
        level /= (*f)[i];
        const std::wstring component = rk::sys::wide_path(level);
        rk::sys::FileStatus status;
        const rk::DWORD err = rk::sys::get_file_status(component, status);
        if (err == rk::win::kErrorFileNotFound || err == rk::win::kErrorPathNotFound) {
            continue;
        }
        if (err != rk::win::kErrorSuccess) {
            return err;
        }
        if ((status.attributes & rk::sys::kFileAttributeReparsePoint) != 0 &&
            (status.reparse_tag == kIoReparseTagMountPoint || status.reparse_tag == rk::sys::kIoReparseTagSymlink)) {
            if (const rk::DWORD removed = rk::sys::remove_directory(component); removed != rk::win::kErrorSuccess) {
                return removed;
            }
        }
    }
    return rk::win::kErrorSuccess;
}

}  // namespace ETWUtil
