// The shell's published KNOWNFOLDERID of each known folder (the REFKNOWNFOLDERID
// that SHGetKnownFolderPath takes), so a folder can be named by its GUID.
#pragma once

#include <optional>

#include "platform/system/known_folders.h"
#include "platform/text/guid.h"

namespace rk::sys {

// The FOLDERID_ GUID of a folder; nullopt for Temp, which has none.
std::optional<win::GUID> known_folder_id(KnownFolder folder);
// The folder a KNOWNFOLDERID names; nullopt for a GUID outside the table.
std::optional<KnownFolder> known_folder_from_id(const win::GUID& id);

}  // namespace rk::sys
