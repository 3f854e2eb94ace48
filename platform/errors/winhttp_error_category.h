// "winhttp": WinHTTP error numbers (12001 and up) described by the message
// table of "winhttp.dll".
#pragma once

#include <string>
#include <system_error>

#include "platform/errors/win_error.h"

namespace dira_doro {

inline constexpr char kWinHttpCategoryName[] = "winhttp";

class winhttp_error_category_t final : public std::error_category {
public:
    const char* name() const noexcept override;
    std::string message(int code) const override;
};

const std::error_category& winhttp_category() noexcept;

inline std::error_code make_winhttp_error_code(rk::DWORD error) noexcept {
    return {static_cast<int>(error), winhttp_category()};
}

}  // namespace dira_doro
