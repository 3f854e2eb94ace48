#include "platform/errors/category_text.h"

#include <cwctype>

#include "platform/errors/message_table.h"
#include "platform/text/utf.h"

namespace dira_doro::detail {

std::string message_or_unknown(const std::optional<std::wstring>& text) {
    if (!text) return kUnknownMessage;
    std::wstring_view view = *text;
    while (!view.empty() && std::iswspace(static_cast<wint_t>(view.back()))) view.remove_suffix(1);
    if (view.empty()) return kUnknownMessage;
    return rk::text::wide_to_utf8(view);
}

std::string nt_status_message(rk::NTSTATUS status) {
    return message_or_unknown(
        rk::win::format_message(rk::win::MessageTable::kNtdll, static_cast<rk::DWORD>(status), kModuleMessageChars));
}

}  // namespace dira_doro::detail
