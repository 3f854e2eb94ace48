// The shared work of the registry substitutions: ARGUMENTS is
// "HIVE|KEY@VALUE" (HIVE| optional, local machine by default), read in one
// registry view through DiraDoro::CRegKey or, scrambled, CObfuscatedRegKey.
#pragma once

#include <string>

#include "platform/config/reg_types.h"

namespace XMLUpdater::v2 {

// The query buffer of the original handler, in bytes.
inline constexpr DiraDoro::ULONG kRegQueryBufferBytes = 1023;

class CRegSubstitutionImpl {
protected:
    // `view`: KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0 (the process's own view).
    CRegSubstitutionImpl(DiraDoro::REGSAM view, bool scrambled) : view_(view), scrambled_(scrambled) {}

    // A REG_SZ value gives its text; any other type the first 32 bits of its
    // data as an unsigned decimal number; an empty VALUE the empty string
    // when the key exists; a failure "!UNKNOWN".
    std::wstring Query(const std::wstring& arguments) const;

private:
    DiraDoro::REGSAM view_;
    bool scrambled_;
};

}  // namespace XMLUpdater::v2
