// Fuzzes the WQL parser; an accepted query, written out again, must parse
// to the same query.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/system/wmi/wql_parser.h"
#include "platform/text/utf.h"

namespace {

using rk::sys::wmi::WqlLiteral;
using rk::sys::wmi::WqlQuery;

std::wstring literal_text(const WqlLiteral& literal) {
    if (const auto* text = std::get_if<std::wstring>(&literal)) {
        std::wstring quoted = L"'";
        for (const wchar_t c : *text) {
            if (c == L'\'' || c == L'\\') {
                quoted += L'\\';
            }
            quoted += c;
        }
        return quoted + L"'";
    }
    if (const auto* number = std::get_if<std::int64_t>(&literal)) {
        return std::to_wstring(*number);
    }
    return std::get<bool>(literal) ? L"true" : L"false";
}

std::wstring write(const WqlQuery& query) {
    std::wstring text = L"select ";
    for (std::size_t i = 0; i < query.properties.size(); ++i) {
        text += (i == 0 ? L"" : L",") + query.properties[i];
    }
    text += query.properties.empty() ? L"*" : L"";
    text += L" from " + query.class_name;
    if (query.where) {
        text += L" where " + query.where->property + L"=" + literal_text(query.where->value);
    }
    return text;
}

bool same(const WqlQuery& a, const WqlQuery& b) {
    const bool same_where = a.where.has_value() == b.where.has_value() &&
                            (!a.where || (a.where->property == b.where->property && a.where->value == b.where->value));
    return a.class_name == b.class_name && a.properties == b.properties && same_where;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = rk::text::utf8_to_wide(std::string_view(reinterpret_cast<const char*>(data), size));
    WqlQuery query;
    if (rk::sys::wmi::parse_wql(text, query) != 0) {
        return 0;
    }
    WqlQuery again;
    const std::wstring written = write(query);
    if (written.size() <= rk::sys::wmi::kMaxQueryLength &&
        (rk::sys::wmi::parse_wql(written, again) != 0 || !same(query, again))) {
        std::abort();
    }
    return 0;
}
