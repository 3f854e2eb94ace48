// Fuzzes the conversions: lenient forms never fail and always give valid
// text; a strict success round-trips to exactly the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/utf.h"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rk::text;
    const std::span<const std::uint8_t> bytes(data, size);

    // UTF-8.
    const std::string_view utf8(reinterpret_cast<const char*>(data), size);
    const std::wstring lenient = utf8_to_wide(utf8);
    require(wide_to_utf8_strict(lenient).has_value());
    if (const auto strict = utf8_to_wide_strict(utf8)) {
        require(*strict == lenient);
        require(wide_to_utf8_strict(*strict) == std::string(utf8));
    }

    // UTF-16LE bytes and host-order UTF-16 units.
    const std::wstring from_le = utf16le_to_wide(bytes);
    require(wide_to_utf8_strict(from_le).has_value());
    if (const auto strict = utf16le_to_wide_strict(bytes)) {
        require(*strict == from_le);
        require(wide_to_utf16le(*strict) == std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        require(utf16_length(*strict) == size / 2);
    }
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    const std::wstring from_units = utf16_to_wide(units);
    if (const auto strict = utf16_to_wide_strict(units)) {
        require(*strict == from_units);
        require(wide_to_utf16(*strict) == units);
    }

    // Raw wchar_t units, any value.
    std::wstring wide(size / sizeof(wchar_t), L'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        std::uint32_t unit = 0;
        for (std::size_t b = 0; b < sizeof(wchar_t); ++b) {
            unit |= static_cast<std::uint32_t>(data[i * sizeof(wchar_t) + b]) << (8 * b);
        }
        wide[i] = static_cast<wchar_t>(unit);
    }
    const std::string to_utf8 = wide_to_utf8(wide);
    require(utf8_to_wide_strict(to_utf8).has_value());
    const std::u16string to_utf16 = wide_to_utf16(wide);
    require(utf16_to_wide_strict(to_utf16).has_value());
    if (const auto strict = wide_to_utf8_strict(wide)) {
        require(*strict == to_utf8);
        require(utf8_to_wide_strict(*strict) == wide);
        require(utf16_length(wide) == to_utf16.size());
        require(utf16le_to_wide_strict(wide_to_utf16le(wide)) == wide);
    }

    // Appending converts the same way.
    std::wstring appended = L"x";
    append_utf8_to_wide(appended, utf8);
    require(appended.substr(1) == lenient);
    return 0;
}
