#include "platform/errors/windows_error_category.h"

#include <cstdint>

#include "platform/errors/category_instance.h"
#include "platform/errors/category_text.h"
#include "platform/errors/message_table.h"

namespace dira_doro {

const char* windows_error_category_t::name() const noexcept { return kWin32CategoryName; }

std::string windows_error_category_t::message(int code) const {
    const auto value = static_cast<std::uint32_t>(code);
    if ((value & rk::win::kFacilityNtBit) != 0) {
        // Undo HRESULT_FROM_NT: the table is keyed by the NTSTATUS itself.
        return detail::nt_status_message(static_cast<rk::NTSTATUS>(value & ~rk::win::kFacilityNtBit));
    }
    return detail::message_or_unknown(
        rk::win::format_message(rk::win::MessageTable::kSystem, value, kSystemMessageChars));
}

const std::error_category& win32_category() noexcept {
    return category_instance<windows_error_category_t>();
}

}  // namespace dira_doro
