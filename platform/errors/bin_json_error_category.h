// "bin_json": failures of the binary JSON codec.
#pragma once

#include <string>
#include <system_error>
#include <type_traits>

namespace dira_doro {

inline constexpr char kBinJsonCategoryName[] = "bin_json";

enum class BinJsonError : int {
    invalid_type = 1,
    data_corrupted = 2,
    not_supported = 3,
};

class bin_json_error_category_t final : public std::error_category {
public:
    const char* name() const noexcept override;
    std::string message(int code) const override;
};

const std::error_category& bin_json_category() noexcept;

std::error_code make_error_code(BinJsonError error) noexcept;

}  // namespace dira_doro

template <>
struct std::is_error_code_enum<dira_doro::BinJsonError> : std::true_type {};
