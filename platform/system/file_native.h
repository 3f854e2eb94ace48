// The descriptor behind a File or Folder, for the seam's own use only (starting a
// verified program from it, mapping it). Components never include this.
#pragma once

#include "platform/system/file.h"
#include "platform/system/folder.h"

namespace rk::sys {

int native_descriptor(const File& file);
int native_descriptor(const Folder& folder);

}  // namespace rk::sys
