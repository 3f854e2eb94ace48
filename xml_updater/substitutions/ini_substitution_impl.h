// The shared work of the INI substitutions: ARGUMENTS is
// "PATH|SECTION@KEY", read through DiraDoro::CObfuscatedIniReader. Section
// and key names compare without regard to case, as the profile functions do.
#pragma once

#include <string>

namespace XMLUpdater::v2 {

class CIniSubstutitionImpl {
protected:
    // `scrambled`: the file holds scrambled values (INO); otherwise its
    // values are plain (the reader's migration mode, which takes plain
    // values as they stand).
    explicit CIniSubstutitionImpl(bool scrambled) : scrambled_(scrambled) {}

    std::wstring Read(const std::wstring& arguments) const;

private:
    bool scrambled_;
};

}  // namespace XMLUpdater::v2
