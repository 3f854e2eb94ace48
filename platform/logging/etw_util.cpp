#include "platform/logging/etw_util.h"

#include "platform/system/files.h"
#include "platform/system/paths.h"
#include "platform/text/strings.h"

namespace ETWUtil {
namespace {

std::optional<std::wstring> host_text(const std::wstring& path) {
    const auto host = rk::sys::to_host_path(path);
    if (!host) {
        return std::nullopt;
    }
    return rk::sys::wide_path(*host);
}

}  // namespace

bool IsBelowFolder(const std::wstring& base, const std::wstring& folder) {
    const auto b = host_text(base);
    const auto f = host_text(folder);
    if (!b || !f || f->size() < b->size() || !rk::text::istarts_with(*f, *b)) {
        return false;
    }
    return f->size() == b->size() || (*f)[b->size()] == L'/' || b->back() == L'/';
}

rk::DWORD DeleteReparsePoint(const std::wstring& base, const std::wstring& folder) {
    const auto b = host_text(base);
    const auto f = host_text(folder);
    if (!b || !f || !IsBelowFolder(*b, *f)) {
        return rk::win::kErrorInvalidParameter;
    }
    std::size_t pos = b->size();
    while (pos < f->size()) {
        const std::size_t next = f->find(L'/', pos + 1);
        const std::wstring component = f->substr(0, next);
        pos = next == std::wstring::npos ? f->size() : next;
        if (component.size() <= b->size()) {
            continue;
        }
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
