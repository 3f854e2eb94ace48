#include "tools/rkctl/reg_value_text.h"

#include "platform/system/registry/registry.h"
#include "platform/text/format.h"
#include "platform/text/numeric.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"
#include "tools/rkctl/reg_file.h"

namespace rk::ctl {
namespace {

using namespace sys::reg;

struct TypeName {
    DWORD type;
    std::wstring_view name;
};
constexpr TypeName kTypeNames[] = {
    {REG_NONE, L"REG_NONE"},           {REG_SZ, L"REG_SZ"},
    {REG_EXPAND_SZ, L"REG_EXPAND_SZ"}, {REG_BINARY, L"REG_BINARY"},
    {REG_DWORD, L"REG_DWORD"},         {REG_DWORD_BIG_ENDIAN, L"REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, L"REG_LINK"},           {REG_MULTI_SZ, L"REG_MULTI_SZ"},
    {REG_QWORD, L"REG_QWORD"},
};

// UTF-16 units of string data before the first NUL.
std::size_t units_before_nul(const std::uint8_t* data, std::size_t size) {
    std::size_t units = 0;
    while (units * 2 + 1 < size && (data[units * 2] != 0 || data[units * 2 + 1] != 0)) ++units;
    return units;
}

// The text of UTF-16LE string data up to the first NUL (lenient: stored data
// may be anything).
std::wstring leading_text(const std::uint8_t* data, std::size_t size) {
    return text::utf16le_to_wide(std::span(data, units_before_nul(data, size) * 2));
}

// Decimal or 0x-prefixed hex, the whole text, at most `max`.
std::optional<std::uint64_t> parse_number(std::wstring_view t, std::uint64_t max) {
    std::optional<std::uint64_t> v;
    if (text::istarts_with(t, L"0x")) {
        const std::wstring_view digits = t.substr(2);
        if (!text::is_hex_digits(digits) || digits.size() > 16) return std::nullopt;
        std::uint64_t n = 0;
        for (const wchar_t c : digits) {
            n = n * 16 + static_cast<std::uint64_t>(c <= L'9' ? c - L'0' : (c | 0x20) - L'a' + 10);
        }
        v = n;
    } else {
        v = text::parse_uint64_exact(t);
    }
    if (!v || *v > max) return std::nullopt;
    return v;
}

}  // namespace

std::wstring type_name(DWORD type) {
    for (const auto& t : kTypeNames) {
        if (t.type == type) return std::wstring(t.name);
    }
    return text::format(L"0x%x", type);
}

std::optional<DWORD> parse_type(std::wstring_view t) {
    for (const auto& known : kTypeNames) {
        if (text::iequals(t, known.name)) return known.type;
    }
    if (const auto n = parse_number(t, 0xFFFFFFFFu)) return static_cast<DWORD>(*n);
    return std::nullopt;
}

std::wstring display_data(DWORD type, const std::vector<std::uint8_t>& data) {
    if (type == REG_SZ || type == REG_EXPAND_SZ) return leading_text(data.data(), data.size());
    if (type == REG_MULTI_SZ) {
        std::wstring out;
        std::size_t pos = 0;
        while (pos + 1 < data.size() && (data[pos] != 0 || data[pos + 1] != 0)) {
            const std::size_t units = units_before_nul(data.data() + pos, data.size() - pos);
            if (!out.empty()) out += kMultiSzSeparator;
            out += text::utf16le_to_wide(std::span(data.data() + pos, units * 2));
            pos += units * 2 + 2;
        }
        return out;
    }
    if (type == REG_DWORD && data.size() == 4) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | data[static_cast<std::size_t>(i)];
        return text::format(L"0x%x", v);
    }
    if (type == REG_QWORD && data.size() == 8) {
        std::uint64_t v = 0;
        for (int i = 7; i >= 0; --i) v = (v << 8) | data[static_cast<std::size_t>(i)];
        return text::format(L"0x%llx", v);
    }
    return text::to_hex_wide(data, true);
}

std::optional<std::vector<std::uint8_t>> parse_data(DWORD type, std::wstring_view t, std::wstring_view separator,
                                                    std::wstring& error) {
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            return regfile::string_data(t);
        case REG_MULTI_SZ: {
            std::vector<std::wstring> items;
            if (separator.empty()) {
                error = L"the separator of REG_MULTI_SZ items must not be empty";
                return std::nullopt;
            }
            for (std::size_t pos = 0; !t.empty();) {
                const std::size_t end = t.find(separator, pos);
                items.emplace_back(t.substr(pos, end == std::wstring_view::npos ? end : end - pos));
                if (items.back().empty()) {
                    error = L"REG_MULTI_SZ items must not be empty";
                    return std::nullopt;
                }
                if (end == std::wstring_view::npos) break;
                pos = end + separator.size();
            }
            return regfile::multi_string_data(items);
        }
        case REG_DWORD:
            if (const auto v = parse_number(t, 0xFFFFFFFFu)) return regfile::dword_data(static_cast<std::uint32_t>(*v));
            error = L"REG_DWORD data must be a number from 0 to 4294967295 (decimal or 0x hex)";
            return std::nullopt;
        case REG_QWORD:
            if (const auto v = parse_number(t, ~std::uint64_t{0})) return regfile::qword_data(*v);
            error = L"REG_QWORD data must be a 64-bit unsigned number (decimal or 0x hex)";
            return std::nullopt;
        default:
            if (auto bytes = text::from_hex(t)) return bytes;
            error = L"binary data must be hex digits, two per byte";
            return std::nullopt;
    }
}

}  // namespace rk::ctl
