// The descriptor behind a File, for the seam's own use only (starting a
// verified program from it, mapping it). Components never include this.
#pragma once

#include "platform/system/file.h"

namespace rk::sys {

int native_descriptor(const File& file);

}  // namespace rk::sys
