// The content update's substitution "HASH": "MD5@<path>" gives the file's
// MD5 digest as 32 lower-case hex digits; files above 10 MiB, other
// algorithms (the name is case-sensitive) and failures give "!UNKNOWN".
#pragma once

#include <string>

#include "xml_updater/factory_support.h"
#include "xml_updater/substitution_if.h"

namespace Halden::Analytics {

inline constexpr wchar_t kSubstitutionHash[] = L"HASH";
inline constexpr std::uint64_t kMaxHashedFileBytes = 0xA00000;

class CHashSubstitution : public XMLUpdater::v2::ISubstitution,
                          public XMLUpdater::v2::CSubstitutionFactorySupport<CHashSubstitution> {
public:
    std::wstring Substitute(const std::wstring& arguments, XMLUpdater::v2::CSubstitutionManager* manager) override;

    // The digest text, or "!UNKNOWN".
    static std::wstring Md5Hash(const std::wstring& path);
};

}  // namespace Halden::Analytics
