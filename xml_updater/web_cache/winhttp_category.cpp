#include "xml_updater/web_cache/winhttp_category.h"

#include "platform/errors/category_instance.h"
#include "platform/errors/message_table.h"
#include "platform/text/utf.h"

namespace XMLUpdater::v2::web_cache {
namespace {
// The buffer the category formats into, in characters.
constexpr std::size_t kMessageChars = 2048;
}  // namespace

const char* WinHttpCategory::name() const noexcept { return kWinHttpCategoryName; }

std::string WinHttpCategory::message(int value) const {
    const auto text =
        rk::win::format_message(rk::win::MessageTable::kWinHttp, static_cast<rk::DWORD>(value), kMessageChars);
    if (!text) {
        return "Failed to format WinHttp error message: " + std::to_string(value);
    }
    return rk::text::wide_to_utf8(*text);
}

const std::error_category& winhttp_category() noexcept {
    return dira_doro::category_instance<WinHttpCategory>();
}

}  // namespace XMLUpdater::v2::web_cache
