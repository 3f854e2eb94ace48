// "winhttp_category": the WinHTTP error numbers of the web cache's fetcher,
// described by WinHTTP's message table.
#pragma once

#include <string>
#include <system_error>

#include "platform/errors/win_error.h"

namespace XMLUpdater::v2::web_cache {

inline constexpr char kWinHttpCategoryName[] = "winhttp_category";

class WinHttpCategory final : public std::error_category {
public:
    const char* name() const noexcept override;
    // The table's text; a number the table lacks reads "Failed to format
    // WinHttp error message: " and the number.
    std::string message(int value) const override;
};

const std::error_category& winhttp_category() noexcept;

inline std::error_code make_winhttp_error(rk::DWORD error) noexcept {
    return {static_cast<int>(error), winhttp_category()};
}

}  // namespace XMLUpdater::v2::web_cache
