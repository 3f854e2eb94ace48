// DiraDoro::CObfuscatedRegKey: a CRegKey whose values are kept scrambled
// (CObfuscatedRegKeyImpl); same interface, values written through it read
// back unchanged through it.
#pragma once

#include "platform/config/reg_key.h"

namespace DiraDoro {

class CObfuscatedRegKey : public CRegKey {
public:
    CObfuscatedRegKey();
};

}  // namespace DiraDoro
