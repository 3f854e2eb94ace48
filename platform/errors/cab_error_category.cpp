#include "platform/errors/cab_error_category.h"

#include <array>
#include <cstddef>

#include "platform/errors/category_instance.h"
#include "platform/errors/category_text.h"

namespace dira_doro {
namespace {

constexpr std::array<const char*, 13> kFdiErrorNames = {
    "FDIERROR_NONE",
    "FDIERROR_CABINET_NOT_FOUND",
    "FDIERROR_NOT_A_CABINET",
    "FDIERROR_UNKNOWN_CABINET_VERSION",
    "FDIERROR_CORRUPT_CABINET",
    "FDIERROR_ALLOC_FAIL",
    "FDIERROR_BAD_COMPR_TYPE",
    "FDIERROR_MDI_FAIL",
    "FDIERROR_TARGET_FILE",
    "FDIERROR_RESERVE_MISMATCH",
    "FDIERROR_WRONG_CABINET",
    "FDIERROR_USER_ABORT",
    "FDIERROR_EOF",
};

}  // namespace

const char* cab_error_category_t::name() const noexcept { return kCabinetCategoryName; }

std::string cab_error_category_t::message(int code) const {
    if (code < 0 || static_cast<std::size_t>(code) >= kFdiErrorNames.size()) return kUnknownMessage;
    return kFdiErrorNames[static_cast<std::size_t>(code)];
}

const std::error_category& cab_category() noexcept {
    return category_instance<cab_error_category_t>();
}

std::error_code make_error_code(FdiError error) noexcept { return {static_cast<int>(error), cab_category()}; }

}  // namespace dira_doro
