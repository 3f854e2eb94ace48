// The steps every precondition handler starts with: copy its operands from
// the element's attributes ("!UNKNOWN" for an absent one) and expand them,
// in the order given.
#pragma once

#include <initializer_list>

#include "xml_updater/attribute_map.h"

namespace XMLUpdater::v2 {

class CSubstitutionManager;

// False (logged) when there is no substitution manager or an expansion
// fails. `operands` receives the expanded values under their keys.
// One of the operands read_operands() filled in (it holds every key asked for).
inline const std::wstring& operand(const AttributeMap& operands, const wchar_t* key) { return operands.find(key)->second; }

bool read_operands(const AttributeMap& attributes, CSubstitutionManager* substitutions,
                   std::initializer_list<const wchar_t*> keys, AttributeMap& operands, const wchar_t* function);

}  // namespace XMLUpdater::v2
