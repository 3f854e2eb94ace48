// "win32": Win32 error numbers (and HRESULTs) described by the system
// message table. Codes with the NT-facility bit (0x10000000, set by
// HRESULT_FROM_NT) carry an NTSTATUS and read like the "ntstatus" category.
#pragma once

#include <string>
#include <system_error>

#include "platform/errors/win_error.h"

namespace dira_doro {

inline constexpr char kWin32CategoryName[] = "win32";

class windows_error_category_t final : public std::error_category {
public:
    const char* name() const noexcept override;
    std::string message(int code) const override;
};

const std::error_category& win32_category() noexcept;

inline std::error_code make_win32_error_code(rk::DWORD error) noexcept {
    return {static_cast<int>(error), win32_category()};
}

}  // namespace dira_doro
