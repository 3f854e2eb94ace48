// One XML element's attributes as the engine's handlers see them: name to
// value, ordered and compared case-sensitively by code unit. A PRECONDITION's
// map also holds its text under "Value"; a command's map holds its text
// under "TagValue" and its element name under "CMD".
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

#include "platform/text/code_unit_less.h"

namespace XMLUpdater::v2 {

// Keys ordered by code unit, compared inline (short names).
using AttributeKeyLess = rk::text::CodeUnitLess;

using AttributeMap = std::map<std::wstring, std::wstring, AttributeKeyLess>;

// A document builds and drops a map for every element; these helpers reuse
// the nodes of dropped maps (their keys and values keep their capacity)
// from a small pool of the calling thread, so a long document does not
// allocate per attribute. A map filled with them is an ordinary map.
// map[key] = value:
void SetAttribute(AttributeMap& map, std::wstring_view key, std::wstring_view value);
// The same from the document's UTF-8 text, widened into the map's strings
// (a malformed sequence becomes U+FFFD).
void SetAttributeUtf8(AttributeMap& map, std::string_view key, std::string_view value);
void SetAttributeUtf8(AttributeMap& map, std::wstring_view key, std::string_view value);
// Empties the map, keeping its nodes for the next SetAttribute.
void RecycleAttributes(AttributeMap& map);

// Recycles a map when it goes out of scope.
class RecycledAttributes {
public:
    explicit RecycledAttributes(AttributeMap& map) : map_(map) {}
    RecycledAttributes(const RecycledAttributes&) = delete;
    RecycledAttributes& operator=(const RecycledAttributes&) = delete;
    ~RecycledAttributes() { RecycleAttributes(map_); }

private:
    AttributeMap& map_;
};

// Keys the walk adds to the element's own attributes.
inline constexpr wchar_t kAttrValue[] = L"Value";
inline constexpr wchar_t kAttrTagValue[] = L"TagValue";
inline constexpr wchar_t kAttrCmd[] = L"CMD";

}  // namespace XMLUpdater::v2
