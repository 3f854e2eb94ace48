// "registry error": conditions that registry callers test, independent of
// the category a failure arrived in. An NT status of "object name not found"
// (0xC0000034) or "key deleted" (0xC000017C) is `not_found`; only the latter
// is also `deleted`.
#pragma once

#include <string>
#include <system_error>
#include <type_traits>

namespace dira_doro {

inline constexpr char kRegistryCategoryName[] = "registry error";

enum class RegErrorCondition : int {
    none = 0,
    not_found = 1,
    deleted = 2,
};

class reg_error_condition_category_t final : public std::error_category {
public:
    const char* name() const noexcept override;
    std::string message(int condition) const override;
    bool equivalent(const std::error_code& code, int condition) const noexcept override;
};

const std::error_category& registry_category() noexcept;

std::error_condition make_error_condition(RegErrorCondition condition) noexcept;

}  // namespace dira_doro

template <>
struct std::is_error_condition_enum<dira_doro::RegErrorCondition> : std::true_type {};
