#include "xml_updater/web_cache/content_range.h"

#include <limits>

namespace XMLUpdater::v2::web_cache {
namespace {

constexpr std::wstring_view kUnit = L"bytes ";

// Reads the digits at the front of `text` into `value`; false when there are
// none or they overflow 64 bits.
bool take_number(std::wstring_view& text, std::uint64_t& value) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::size_t i = 0;
    value = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
        const auto digit = static_cast<std::uint64_t>(text[i] - L'0');
        if (value > (kMax - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
        ++i;
    }
    text.remove_prefix(i);
    return i > 0;
}

bool take(std::wstring_view& text, wchar_t c) {
    if (text.empty() || text.front() != c) {
        return false;
    }
    text.remove_prefix(1);
    return true;
}

}  // namespace

bool ContentRange::consistent() const { return first <= last && (!total || last < *total); }

std::optional<ContentRange> parse_content_range(std::wstring_view value) {
    if (!value.starts_with(kUnit)) {
        return std::nullopt;
    }
    value.remove_prefix(kUnit.size());
    ContentRange range;
    if (!take_number(value, range.first) || !take(value, L'-') || !take_number(value, range.last) ||
        !take(value, L'/')) {
        return std::nullopt;
    }
    if (value == L"*") {
        return range;
    }
    std::uint64_t total = 0;
    if (!take_number(value, total) || !value.empty()) {
        return std::nullopt;
    }
    range.total = total;
    return range;
}

}  // namespace XMLUpdater::v2::web_cache
