// DIR: a well-known folder by its CSIDL-style identifier.
//
// Known folders come from the seam without a trailing separator; TEMP_DIR
// keeps one, as GetTempPath does. The two X64 identifiers read the
// variables ProgramW6432 / CommonProgramW6432 on a 64-bit `plat` and
// ProgramFiles / CommonProgramFiles otherwise; Linux sets none of them, so
// an unset variable falls back to the matching known folder.
#pragma once

#include "platform/system/known_folders.h"
#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

// GetEnvironmentVariable's buffer in the original (MAX_PATH characters).
inline constexpr std::size_t kMaxEnvironmentValueChars = 260;

class CDirSubstitution : public ISubstitution, public CSubstitutionFactorySupport<CDirSubstitution> {
public:
    CDirSubstitution() = default;
    explicit CDirSubstitution(rk::sys::EnvLookup env) : env_(std::move(env)) {}

    std::wstring Substitute(const std::wstring& arguments, CSubstitutionManager* manager) override;

private:
    std::wstring program_files_x64(bool common, CSubstitutionManager* manager) const;

    rk::sys::EnvLookup env_ = rk::sys::process_env;
};

}  // namespace XMLUpdater::v2
