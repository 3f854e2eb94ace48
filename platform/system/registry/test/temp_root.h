// The registry tests' temporary root prefix is the shared one.
#pragma once

#include "platform/system/test/temp_root.h"
