// The Content-Range header of a 206 answer: "bytes FIRST-LAST/TOTAL", TOTAL
// a number or "*" (unknown). Parsed strictly: the value comes from the
// network.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace XMLUpdater::v2::web_cache {

struct ContentRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::optional<std::uint64_t> total;  // nullopt for "*"

    // first <= last, and last < total when the total is known.
    bool consistent() const;
    std::uint64_t length() const { return last - first + 1; }  // only when consistent
};

// The whole value must read "bytes " followed by decimal digits, "-",
// digits, "/", and digits or "*" (no blanks, signs or other text); numbers
// must fit 64 bits. nullopt otherwise.
std::optional<ContentRange> parse_content_range(std::wstring_view value);

}  // namespace XMLUpdater::v2::web_cache
