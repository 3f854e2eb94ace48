#include "platform/config/obfuscated_reg_key.h"

#include "platform/config/obfuscated_reg_key_impl.h"

namespace DiraDoro {

CObfuscatedRegKey::CObfuscatedRegKey() : CRegKey(std::make_shared<CObfuscatedRegKeyImpl>()) {}

}  // namespace DiraDoro
