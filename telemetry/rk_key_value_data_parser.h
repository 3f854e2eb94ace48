// CRkKeyValueDataParser: texts of key=value pairs. Values may carry '%',
// '&' and '=' percent-encoded ("%25", "%26", "%3D"), as RkTrackingParams
// write them; keys never do.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace rk::telemetry {

using KeyValueList = std::map<std::wstring, std::wstring>;

class CRkKeyValueDataParser {
public:
    // Pairs separated by `separator`; a pair splits at its first '='. False
    // when a non-empty pair has no '=' or an empty key; `out` then holds
    // the pairs before it. Empty pieces are skipped; a repeated key keeps
    // its first value.
    static bool Parse(std::wstring_view text, wchar_t separator, KeyValueList& out);
    static bool ParseByAmpersand(std::wstring_view text, KeyValueList& out) { return Parse(text, L'&', out); }

    // A value as it goes into such a text.
    static std::wstring EncodeValue(std::wstring_view value);
};

}  // namespace rk::telemetry
