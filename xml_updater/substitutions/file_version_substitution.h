// FVER: the file version of a PE file's version resource, as
// "a.b.c.d" (high and low word of the most significant double word, then of
// the least significant one); "!UNKNOWN" when the file has none.
#pragma once

#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

class CFileVersionSubstitution : public ISubstitution, public CSubstitutionFactorySupport<CFileVersionSubstitution> {
public:
    std::wstring Substitute(const std::wstring& arguments, CSubstitutionManager* manager) override;
};

}  // namespace XMLUpdater::v2
