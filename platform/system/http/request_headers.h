// The extra request headers of one request, with the modifiers of
// WinHttpAddRequestHeaders.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/errors/win_error.h"

namespace rk::sys::http {

class RequestHeaders {
public:
    // Adds "Name: value" lines separated by CR LF (see HttpRequest::add_headers).
    // All lines are checked before any is applied. Results: 0,
    // kErrorInvalidParameter (malformed line), kWinHttpErrorHeaderAlreadyExists
    // (kAddReqFlagAddIfNew and the name is present), kWinHttpErrorHeaderNotFound
    // (kAddReqFlagReplace without kAddReqFlagAdd and the name is absent). Lines
    // are applied in order; a failing one stops the rest.
    DWORD add(std::wstring_view lines, DWORD modifiers);

    // Name and value pairs in the order they go on the wire.
    const std::vector<std::pair<std::wstring, std::wstring>>& entries() const { return entries_; }

    // True when a header of that name (without case) is present.
    bool contains(std::wstring_view name) const;

private:
    std::vector<std::pair<std::wstring, std::wstring>> entries_;
};

}  // namespace rk::sys::http
