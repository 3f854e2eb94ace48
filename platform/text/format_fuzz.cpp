// Fuzzes the format text, wide and narrow, against a fixed mix of argument
// kinds: the formatter must not crash, read past its arguments or grow the
// output beyond what the capped widths allow.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "platform/text/format.h"
#include "platform/text/utf.h"

namespace {

using rk::text::FormatArg;
using rk::text::FormatArgs;

const std::wstring& bad_wide() {
    static const std::wstring text = [] {
        std::wstring t = L"w\u00e9";
        t.push_back(static_cast<wchar_t>(0xD800));
        t.push_back(static_cast<wchar_t>(0x110000));
        t.push_back(static_cast<wchar_t>(-1));
        return t;
    }();
    return text;
}

const std::u16string& bad_utf16() {
    static const std::u16string text = {u'u', static_cast<char16_t>(0xDC00), static_cast<char16_t>(0xD83D)};
    return text;
}

int object = 0;

void check_size(std::size_t out, std::size_t format_size, std::size_t prefix) {
    // Each directive takes at least two characters of the format and writes
    // at most a capped field, a 309-digit float with a capped precision, or
    // one of the strings below.
    const std::size_t per_unit = static_cast<std::size_t>(rk::text::kMaxFormatWidth) + 400;
    if (out - prefix > format_size * per_unit) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::array<FormatArg, 22> args = {
        FormatArg(42),
        FormatArg(-1),
        FormatArg(std::numeric_limits<std::int64_t>::min()),
        FormatArg(std::numeric_limits<std::uint64_t>::max()),
        FormatArg(std::uint16_t{65535}),
        FormatArg(std::numeric_limits<std::int32_t>::max()),
        FormatArg(std::numeric_limits<double>::quiet_NaN()),
        FormatArg(-1e300),
        FormatArg(std::numeric_limits<double>::infinity()),
        FormatArg(&object),
        FormatArg(nullptr),
        FormatArg(static_cast<const char*>(nullptr)),
        FormatArg(static_cast<const wchar_t*>(nullptr)),
        FormatArg("caf\xc3\xa9 \xff\xe4\xb8"),
        FormatArg(L"wide text"),
        FormatArg(bad_wide()),
        FormatArg(bad_utf16()),
        FormatArg(std::string_view("view", 2)),
        FormatArg(u8"\u00e9"),
        FormatArg(std::numeric_limits<std::int32_t>::min()),
        FormatArg(0x1F600),
        FormatArg(true),
    };
    const FormatArgs list(args.data(), args.size());

    const std::string_view narrow(reinterpret_cast<const char*>(data), size);
    std::string narrow_out = "p";
    rk::text::vformat_to(narrow_out, narrow, list);
    check_size(narrow_out.size(), size, 1);
    if (rk::text::vformat(narrow, list) != std::string_view(narrow_out).substr(1)) {
        std::abort();
    }

    // The same bytes as UTF-8, and as raw wchar_t units (invalid values
    // included).
    const std::wstring wide = rk::text::utf8_to_wide(narrow);
    check_size(rk::text::vformat(wide, list).size(), wide.size(), 0);
    std::wstring raw(size / sizeof(wchar_t), L'\0');
    for (std::size_t i = 0; i < raw.size(); ++i) {
        std::uint32_t unit = 0;
        for (std::size_t b = 0; b < sizeof(wchar_t); ++b) {
            unit |= static_cast<std::uint32_t>(data[i * sizeof(wchar_t) + b]) << (8 * b);
        }
        raw[i] = static_cast<wchar_t>(unit);
    }
    check_size(rk::text::vformat(raw, list).size(), raw.size(), 0);

    // Fewer arguments than directives: every prefix of the list.
    const std::size_t cut = size == 0 ? 0 : data[0] % (args.size() + 1);
    rk::text::vformat(wide, FormatArgs(args.data(), cut));
    return 0;
}
