// FILE_EXISTS: "TRUE" when the path names a file or a folder, else "FALSE".
#pragma once

#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

class CFileExistsSubstitution : public ISubstitution, public CSubstitutionFactorySupport<CFileExistsSubstitution> {
public:
    std::wstring Substitute(const std::wstring& arguments, CSubstitutionManager* manager) override;
};

}  // namespace XMLUpdater::v2
