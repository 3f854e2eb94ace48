// "ntstatus": NTSTATUS values described by the message table of "ntdll.dll".
#pragma once

#include <string>
#include <system_error>

#include "platform/errors/win_error.h"

namespace dira_doro {

inline constexpr char kNtStatusCategoryName[] = "ntstatus";

class nt_error_category_t final : public std::error_category {
public:
    const char* name() const noexcept override;
    std::string message(int code) const override;
};

const std::error_category& ntstatus_category() noexcept;

inline std::error_code make_nt_error_code(rk::NTSTATUS status) noexcept { return {status, ntstatus_category()}; }

}  // namespace dira_doro
