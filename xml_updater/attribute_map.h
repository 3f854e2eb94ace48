// One XML element's attributes as the engine's handlers see them: name to
// value, ordered and compared case-sensitively by code unit. A PRECONDITION's
// map also holds its text under "Value"; a command's map holds its text
// under "TagValue" and its element name under "CMD".
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace XMLUpdater::v2 {

// Orders keys by code unit, as std::wstring's operator< does, with the loop
// inline: keys are short names, for which a library call per comparison
// costs more than the comparison. Transparent, so handlers look keys up by
// their constant texts without making a string of them.
struct AttributeKeyLess {
    using is_transparent = void;
    bool operator()(std::wstring_view a, std::wstring_view b) const noexcept {
        const std::size_t common = a.size() < b.size() ? a.size() : b.size();
        for (std::size_t i = 0; i < common; ++i) {
            if (a[i] != b[i]) {
                return a[i] < b[i];
            }
        }
        return a.size() < b.size();
    }
};

using AttributeMap = std::map<std::wstring, std::wstring, AttributeKeyLess>;

// A document builds and drops a map for every element; these helpers reuse
// the nodes of dropped maps (their keys and values keep their capacity)
// from a small pool of the calling thread, so a long document does not
// allocate per attribute. A map filled with them is an ordinary map.
// map[key] = value:
void SetAttribute(AttributeMap& map, std::wstring_view key, std::wstring_view value);
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
