// Known folders (SHGetKnownFolderPath) and the temporary folder.
//
// Every folder is under the root prefix. Machine-wide folders are fixed
// Linux locations; per-user ones come from HOME and the XDG variables (with
// their usual defaults) and are then put under the root prefix too, so a
// rooted test or demo never touches the real home folder.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/errors/win_error.h"

namespace rk::sys {

enum class KnownFolder {
    ProgramData,
    ProgramFiles,
    ProgramFilesX64,
    ProgramFilesX86,
    ProgramFilesCommon,
    ProgramFilesCommonX64,
    ProgramFilesCommonX86,
    PublicDocuments,
    CommonStartup,
    System,
    SystemX86,
    Windows,
    Profile,
    Desktop,
    Documents,
    LocalAppData,
    RoamingAppData,
    LocalAppDataLow,
    Temp,  // GetTempPath; has no FOLDERID_ name
};

// "FOLDERID_ProgramData" and family, exact text; empty for Temp.
std::wstring_view known_folder_name(KnownFolder folder);

// Reads one environment variable; nullopt when unset.
using EnvLookup = std::function<std::optional<std::string>(const char* name)>;

// The process environment; HOME falls back to the password database.
std::optional<std::string> process_env(const char* name);

class KnownFolders {
public:
    explicit KnownFolders(EnvLookup env = process_env);

    // The folder as a system path (host form, no trailing separator) in
    // `path`. With `create` (KF_FLAG_CREATE) a missing folder is made with its
    // parents (per-user folders 0700, as XDG asks). kErrorFileNotFound when
    // HOME is unknown; a creation failure as its Windows error.
    DWORD path(KnownFolder folder, std::wstring& path, bool create = false) const;

private:
    EnvLookup env_;
};

// The temporary folder of the process environment (see KnownFolder::Temp):
// $TMPDIR when absolute, else /tmp, under the root prefix; empty on failure.
std::wstring temp_dir();

}  // namespace rk::sys
