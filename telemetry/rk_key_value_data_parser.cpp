#include "telemetry/rk_key_value_data_parser.h"

namespace rk::telemetry {
namespace {

int hex_digit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

std::wstring decode(std::wstring_view value) {
    std::wstring out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == L'%' && i + 2 < value.size() && hex_digit(value[i + 1]) >= 0 &&
            hex_digit(value[i + 2]) >= 0) {
            out.push_back(static_cast<wchar_t>(hex_digit(value[i + 1]) * 16 + hex_digit(value[i + 2])));
            i += 2;
        } else {
            out.push_back(value[i]);
        }
    }
    return out;
}

}  // namespace

bool CRkKeyValueDataParser::Parse(std::wstring_view text, wchar_t separator, KeyValueList& out) {
    while (!text.empty()) {
        const auto end = text.find(separator);
        const std::wstring_view pair = text.substr(0, end);
        text = end == std::wstring_view::npos ? std::wstring_view() : text.substr(end + 1);
        if (pair.empty()) {
            continue;
        }
        const auto equals = pair.find(L'=');
        if (equals == std::wstring_view::npos || equals == 0) {
            return false;
        }
        out.emplace(std::wstring(pair.substr(0, equals)), decode(pair.substr(equals + 1)));
    }
    return true;
}

std::wstring CRkKeyValueDataParser::EncodeValue(std::wstring_view value) {
    std::wstring out;
    out.reserve(value.size());
    for (const wchar_t c : value) {
        switch (c) {
            case L'%': out += L"%25"; break;
            case L'&': out += L"%26"; break;
            case L'=': out += L"%3D"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

}  // namespace rk::telemetry
