#include "platform/errors/reg_error_condition_category.h"

#include <cstdint>
#include <optional>

#include "platform/errors/category_instance.h"
#include "platform/errors/nt_error_category.h"
#include "platform/errors/win_error.h"
#include "platform/errors/windows_error_category.h"

namespace dira_doro {
namespace {

// The NT status a code carries: an "ntstatus" code, or a "win32" code with
// the NT-facility bit (which that category reads as an NTSTATUS too).
std::optional<rk::NTSTATUS> carried_nt_status(const std::error_code& code) {
    if (code.category() == ntstatus_category()) return code.value();
    const auto value = static_cast<std::uint32_t>(code.value());
    if (code.category() == win32_category() && (value & rk::win::kFacilityNtBit) != 0) {
        return static_cast<rk::NTSTATUS>(value & ~rk::win::kFacilityNtBit);
    }
    return std::nullopt;
}

}  // namespace

const char* reg_error_condition_category_t::name() const noexcept { return kRegistryCategoryName; }

std::string reg_error_condition_category_t::message(int condition) const {
    switch (static_cast<RegErrorCondition>(condition)) {
        case RegErrorCondition::none: return "none";
        case RegErrorCondition::not_found: return "not_found";
        case RegErrorCondition::deleted: return "deleted";
    }
    return "invalid";
}

bool reg_error_condition_category_t::equivalent(const std::error_code& code, int condition) const noexcept {
    switch (static_cast<RegErrorCondition>(condition)) {
        case RegErrorCondition::none: return !code;
        case RegErrorCondition::not_found: {
            const auto status = carried_nt_status(code);
            return status == rk::win::kStatusObjectNameNotFound || status == rk::win::kStatusKeyDeleted;
        }
        case RegErrorCondition::deleted: return carried_nt_status(code) == rk::win::kStatusKeyDeleted;
    }
    return false;
}

const std::error_category& registry_category() noexcept {
    return category_instance<reg_error_condition_category_t>();
}

std::error_condition make_error_condition(RegErrorCondition condition) noexcept {
    return {static_cast<int>(condition), registry_category()};
}

}  // namespace dira_doro
