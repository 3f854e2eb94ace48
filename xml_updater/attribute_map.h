// One XML element's attributes as the engine's handlers see them: name to
// value, ordered and compared case-sensitively by code unit. A PRECONDITION's
// map also holds its text under "Value"; a command's map holds its text
// under "TagValue" and its element name under "CMD".
#pragma once

#include <map>
#include <string>

namespace XMLUpdater::v2 {

using AttributeMap = std::map<std::wstring, std::wstring>;

// Keys the walk adds to the element's own attributes.
inline constexpr wchar_t kAttrValue[] = L"Value";
inline constexpr wchar_t kAttrTagValue[] = L"TagValue";
inline constexpr wchar_t kAttrCmd[] = L"CMD";

}  // namespace XMLUpdater::v2
