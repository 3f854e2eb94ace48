// GUID values and their registry text form ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}",
// upper-case hex, as StringFromGUID2 writes it).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rk::win {

struct GUID {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::array<std::uint8_t, 8> Data4{};

    bool operator==(const GUID&) const = default;
};

// The braced form, 38 characters.
std::wstring guid_to_string(const GUID& guid);
// CLSIDFromString for GUID texts: exactly the braced form, hex digits in
// either case; nullopt otherwise.
std::optional<GUID> guid_from_string(std::wstring_view text);

}  // namespace rk::win
