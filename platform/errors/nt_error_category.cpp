#include "platform/errors/nt_error_category.h"

#include "platform/errors/category_instance.h"
#include "platform/errors/category_text.h"

namespace dira_doro {

const char* nt_error_category_t::name() const noexcept { return kNtStatusCategoryName; }

std::string nt_error_category_t::message(int code) const { return detail::nt_status_message(code); }

const std::error_category& ntstatus_category() noexcept {
    return category_instance<nt_error_category_t>();
}

}  // namespace dira_doro
