// WinHttpCrackUrl for http and https URLs.
#pragma once

#include <string>
#include <string_view>

#include "platform/errors/win_error.h"

namespace rk::sys::http {

struct UrlParts {
    std::wstring scheme;     // "http" or "https", lower case
    std::wstring user;       // from "user:password@", may be empty
    std::wstring password;
    std::wstring host;       // without the brackets of an IPv6 literal
    unsigned port = 0;       // the URL's port, else 80 or 443 by scheme
    bool explicit_port = false;
    std::wstring path;       // from the first '/' up to '?' or '#'; may be empty
    std::wstring extra;      // '?' query and '#' fragment as written; may be empty

    bool secure() const;
    // What goes into the request line: path ("/" when empty) and query,
    // without the fragment.
    std::wstring request_target() const;
};

// 0 and `parts` filled, kWinHttpErrorUnrecognizedScheme for another scheme,
// kWinHttpErrorInvalidUrl for anything malformed (no "://", empty host, a
// port that is not 1..65535, control characters or blanks).
DWORD crack_url(std::wstring_view url, UrlParts& parts);

}  // namespace rk::sys::http
