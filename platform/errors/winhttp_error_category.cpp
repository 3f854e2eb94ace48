#include "platform/errors/winhttp_error_category.h"

#include "platform/errors/category_instance.h"
#include "platform/errors/category_text.h"
#include "platform/errors/message_table.h"

namespace dira_doro {

const char* winhttp_error_category_t::name() const noexcept { return kWinHttpCategoryName; }

std::string winhttp_error_category_t::message(int code) const {
    return detail::message_or_unknown(
        rk::win::format_message(rk::win::MessageTable::kWinHttp, static_cast<rk::DWORD>(code), kModuleMessageChars));
}

const std::error_category& winhttp_category() noexcept {
    return category_instance<winhttp_error_category_t>();
}

}  // namespace dira_doro
