// "cabinet": FDI error numbers of cabinet extraction, named as in fdi.h.
#pragma once

#include <string>
#include <system_error>
#include <type_traits>

namespace dira_doro {

inline constexpr char kCabinetCategoryName[] = "cabinet";

enum class FdiError : int {
    none = 0,
    cabinet_not_found = 1,
    not_a_cabinet = 2,
    unknown_cabinet_version = 3,
    corrupt_cabinet = 4,
    alloc_fail = 5,
    bad_compr_type = 6,
    mdi_fail = 7,
    target_file = 8,
    reserve_mismatch = 9,
    wrong_cabinet = 10,
    user_abort = 11,
    eof = 12,
};

class cab_error_category_t final : public std::error_category {
public:
    const char* name() const noexcept override;
    std::string message(int code) const override;
};

const std::error_category& cab_category() noexcept;

std::error_code make_error_code(FdiError error) noexcept;

}  // namespace dira_doro

template <>
struct std::is_error_code_enum<dira_doro::FdiError> : std::true_type {};
