#include "trust/content_version.h"

namespace rk::trust {

std::optional<ContentVersion> parse_content_version(std::wstring_view name) {
    ContentVersion version{};
    std::size_t part = 0;
    std::size_t digits = 0;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == L'.') {
            if (digits == 0 || part == version.size()) {
                return std::nullopt;
            }
            version[part++] = static_cast<std::uint16_t>(value);
            digits = 0;
            value = 0;
            continue;
        }
        if (name[i] < L'0' || name[i] > L'9' || ++digits > 5) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint32_t>(name[i] - L'0');
        if (value > 0xFFFF) {
            return std::nullopt;
        }
    }
    return version;
}

}  // namespace rk::trust
