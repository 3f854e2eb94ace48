// What a response means for a cached object, decided from its status and
// headers before any body byte is taken (the range checks of the fetcher).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace XMLUpdater::v2::web_cache {

inline constexpr unsigned kStatusOk = 200;
inline constexpr unsigned kStatusPartialContent = 206;
inline constexpr unsigned kStatusNotModified = 304;

enum class BodyAction {
    kKeep,     // 304: the cached data is current
    kRewrite,  // 200: the whole resource replaces the cached data
    kAppend,   // 206: the rest of the resource follows the cached data
};

struct ResponseFacts {
    unsigned status = 0;
    std::optional<std::wstring> content_range;
    std::optional<std::uint64_t> content_length;
    std::uint64_t cached_size = 0;
    std::optional<std::uint64_t> entity_length;  // X-Entity-Length before this response
};

struct ResponsePlan {
    BodyAction action = BodyAction::kKeep;
    std::uint64_t body_length = 0;    // bytes that must follow
    std::uint64_t entity_length = 0;  // the full resource afterwards
};

// Throws std::system_error with an HttpFetcherError:
//   304 when the cached data is not the whole entity: kRangeNotAligned;
//   200 or 206 without Content-Length: kContentLengthMismatch;
//   206 without Content-Range: kPartialWithoutContentRange; one that does
//   not parse ("Unable to parse content range '%ls' from server") or is
//   inconsistent ("Server returned invalid content range"): the same value;
//   a first byte other than the cached size, or a total other than the known
//   entity length: kRangeNotAligned; a last byte that is not the entity's
//   last: kRangeNotToEnd; a range length other than Content-Length:
//   kRangeLengthMismatch;
//   any other status: kUnexpectedStatusCode ("WinHttp: Unexpected status
//   code (%u)").
ResponsePlan plan_response(const ResponseFacts& facts);

}  // namespace XMLUpdater::v2::web_cache
