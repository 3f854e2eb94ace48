// Orders wide texts by code unit, as std::wstring's operator< does, with the
// loop inline: keys are short names, for which a library call per comparison
// costs more than the comparison. Transparent, so containers keyed by
// strings are searched with views or constants without making a string.
#pragma once

#include <cstddef>
#include <string_view>

namespace rk::text {

struct CodeUnitLess {
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

}  // namespace rk::text
