#include "platform/logging/win32_message.h"

#include "platform/errors/windows_error_category.h"
#include "platform/text/utf.h"

namespace rk::logging {

std::wstring win32_message_text(rk::DWORD error) {
    return rk::text::utf8_to_wide(dira_doro::win32_category().message(static_cast<int>(error)));
}

}  // namespace rk::logging
