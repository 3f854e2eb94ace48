#include "platform/errors/wbem_error_category.h"

#include "platform/errors/category_instance.h"
#include "platform/errors/category_text.h"
#include "platform/errors/message_table.h"
#include "platform/errors/windows_error_category.h"

namespace dira_doro {

const char* wbem_error_category_t::name() const noexcept { return kWbemCategoryName; }

std::string wbem_error_category_t::message(int code) const {
    if (is_wmi_status_code(code)) {
        if (auto text = rk::win::wmi_status_text(static_cast<rk::DWORD>(code))) {
            return detail::message_or_unknown(text);
        }
    }
    return win32_category().message(code);
}

const std::error_category& wbem_category() noexcept {
    return category_instance<wbem_error_category_t>();
}

}  // namespace dira_doro
