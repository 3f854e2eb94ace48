// "wmi error": HRESULTs of WMI calls. WMI status codes (the WBEM_E_*,
// WBEMESS_E_* and WBEMMOF_E_* blocks, 0x80041000 to 0x80044FFF) are
// described by the WMI utility library; every other code, and a WMI code the
// library has no text for, reads as in the "win32" category.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>

#include "platform/errors/win_error.h"

namespace dira_doro {

inline constexpr char kWbemCategoryName[] = "wmi error";

inline constexpr std::uint32_t kWmiStatusFirst = 0x80041000u;
inline constexpr std::uint32_t kWmiStatusLast = 0x80044FFFu;

constexpr bool is_wmi_status_code(rk::HRESULT hr) {
    const auto value = static_cast<std::uint32_t>(hr);
    return value >= kWmiStatusFirst && value <= kWmiStatusLast;
}

class wbem_error_category_t final : public std::error_category {
public:
    const char* name() const noexcept override;
    std::string message(int code) const override;
};

const std::error_category& wbem_category() noexcept;

inline std::error_code make_wbem_error_code(rk::HRESULT hr) noexcept { return {hr, wbem_category()}; }

}  // namespace dira_doro
