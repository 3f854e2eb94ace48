// Booleans of command attributes: exactly "TRUE" or exactly "FALSE".
#pragma once

#include <string>

namespace XMLUpdater::v2 {

inline constexpr wchar_t kTextTrue[] = L"TRUE";
inline constexpr wchar_t kTextFalse[] = L"FALSE";

// False (and "Unable to convert string %s to bool" logged) for any other
// text; `value` is then left alone.
bool TryParseBool(const std::wstring& text, bool& value);

}  // namespace XMLUpdater::v2
