#include "xml_updater/substitutions/file_exists_substitution.h"

#include "platform/system/files.h"
#include "xml_updater/substitutions/substitution_constants.h"

namespace XMLUpdater::v2 {

std::wstring CFileExistsSubstitution::Substitute(const std::wstring& arguments, CSubstitutionManager* /*manager*/) {
    return rk::sys::path_exists(arguments) ? kTrue : kFalse;
}

}  // namespace XMLUpdater::v2
