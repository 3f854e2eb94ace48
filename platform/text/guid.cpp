#include "platform/text/guid.h"

#include "platform/text/format.h"

namespace rk::win {
namespace {

int hex_value(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}

// Reads `digits` hex digits at `pos`.
bool read_hex(std::wstring_view text, std::size_t pos, std::size_t digits, std::uint64_t& out) {
    out = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const int v = hex_value(text[pos + i]);
        if (v < 0) {
            return false;
        }
        out = out << 4 | static_cast<std::uint64_t>(v);
    }
    return true;
}

}  // namespace

std::wstring guid_to_string(const GUID& g) {
    return text::format(L"{%08lX-%04hX-%04hX-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                        g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                        g.Data4[7]);
}

std::optional<GUID> guid_from_string(std::wstring_view t) {
    constexpr std::size_t kLength = 38;
    if (t.size() != kLength || t[0] != L'{' || t[37] != L'}' || t[9] != L'-' || t[14] != L'-' || t[19] != L'-' ||
        t[24] != L'-') {
        return std::nullopt;
    }
    GUID g;
    std::uint64_t v = 0;
    if (!read_hex(t, 1, 8, v)) {
        return std::nullopt;
    }
    g.Data1 = static_cast<std::uint32_t>(v);
    if (!read_hex(t, 10, 4, v)) {
        return std::nullopt;
    }
    g.Data2 = static_cast<std::uint16_t>(v);
    if (!read_hex(t, 15, 4, v)) {
        return std::nullopt;
    }
    g.Data3 = static_cast<std::uint16_t>(v);
    constexpr std::size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (std::size_t i = 0; i < 8; ++i) {
        if (!read_hex(t, kBytePos[i], 2, v)) {
            return std::nullopt;
        }
        g.Data4[i] = static_cast<std::uint8_t>(v);
    }
    return g;
}

}  // namespace rk::win
