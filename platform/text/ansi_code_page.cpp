#include "platform/text/ansi_code_page.h"

#include <array>

namespace rk::text {
namespace {

// Windows-1252 for 0x80-0x9F.
constexpr std::array<wchar_t, 32> kC1Table = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

std::wstring ansi_to_wide(std::span<const std::uint8_t> bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (const std::uint8_t byte : bytes) {
        out.push_back(byte >= 0x80 && byte <= 0x9F ? kC1Table[byte - 0x80] : static_cast<wchar_t>(byte));
    }
    return out;
}

}  // namespace rk::text
