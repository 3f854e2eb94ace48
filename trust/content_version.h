// Names of content version folders: one to four dot-separated decimal
// numbers of 0 to 65535 ("3", "1.2", "2024.6.1.7"), compared numerically
// with missing parts as 0.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace rk::trust {

using ContentVersion = std::array<std::uint16_t, 4>;

// nullopt for any other name (signs, spaces, empty parts, leading or
// trailing dots, more than four parts, numbers above 65535).
std::optional<ContentVersion> parse_content_version(std::wstring_view name);

}  // namespace rk::trust
