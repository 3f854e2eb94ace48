// Small helpers shared by the command handlers.
#pragma once

#include <optional>
#include <string>

#include "xml_updater/attribute_map.h"

namespace XMLUpdater::v2 {

inline constexpr wchar_t kMsgInvalidSubstitutor[] = L"invalid substitutor";

// The value of `key`, or nullopt when the attribute is absent.
inline std::optional<std::wstring> attribute(const AttributeMap& attributes, const wchar_t* key) {
    const auto it = attributes.find(key);
    if (it == attributes.end()) {
        return std::nullopt;
    }
    return it->second;
}

}  // namespace XMLUpdater::v2
