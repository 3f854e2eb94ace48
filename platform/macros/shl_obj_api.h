// The shell-folder service of the folder macros: SHGetKnownFolderPath.
#pragma once

#include <memory>
#include <string>

#include "platform/errors/win_error.h"
#include "platform/system/known_folders.h"

namespace DiraDoro {

class ShlObjAPI {
public:
    ShlObjAPI() = default;
    ShlObjAPI(const ShlObjAPI&) = delete;
    ShlObjAPI& operator=(const ShlObjAPI&) = delete;
    virtual ~ShlObjAPI() = default;

    // SHGetKnownFolderPath(folder, flags, no token): S_OK with the folder's
    // path in `path`, or a failure HRESULT (path then unspecified). The
    // known-folder GUID is named by the seam's identifier of that folder.
    virtual rk::HRESULT SHGetKnownFolderPath(rk::sys::KnownFolder folder, rk::DWORD flags,
                                             std::wstring& path) = 0;
};

// The real service over the seam's known folders (rk::sys::KnownFolders with
// the given environment, the process's by default); never creates a folder.
std::shared_ptr<ShlObjAPI> CreateShlObjAPI(rk::sys::EnvLookup env = rk::sys::process_env);

}  // namespace DiraDoro
