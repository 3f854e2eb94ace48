// The content update's substitution "TXTVER": the "$FileVersion=" value
// written in the first 1023 bytes of a text file (up to the next space),
// or "!UNKNOWN".
#pragma once

#include <string>
#include <string_view>

#include "xml_updater/factory_support.h"
#include "xml_updater/substitution_if.h"

namespace Halden::Analytics {

inline constexpr wchar_t kSubstitutionTxtVer[] = L"TXTVER";
inline constexpr std::size_t kTxtVerReadBytes = 1023;

// The version in the first 1023 bytes of a text; no version and the
// failure's log text when there is none.
struct TxtVerResult {
    std::wstring version;
    const wchar_t* failure = nullptr;
};
TxtVerResult FindTxtVer(std::string_view bytes);

class CTxtVerSubstitution : public XMLUpdater::v2::ISubstitution,
                            public XMLUpdater::v2::CSubstitutionFactorySupport<CTxtVerSubstitution> {
public:
    // `arguments`: the file's path.
    std::wstring Substitute(const std::wstring& arguments, XMLUpdater::v2::CSubstitutionManager* manager) override;
};

}  // namespace Halden::Analytics
