// Log texts of the content-trust entry point.
#pragma once

namespace rk::trust {
inline constexpr wchar_t kValidationSuccess[] = L"Binary validation success";
inline constexpr wchar_t kValidationFailed[] = L"Binary validation failed";
}  // namespace rk::trust
