// Errors of the web cache's fetcher ("HttpFetcherErrorCategory"): what went
// wrong in one HTTP transaction of a cached object.
#pragma once

#include <string>
#include <system_error>
#include <type_traits>

namespace XMLUpdater::v2::web_cache {

inline constexpr char kHttpFetcherErrorCategoryName[] = "HttpFetcherErrorCategory";

// Values group by failure (http_fetcher_failure.h): below 10 the transfer
// was cut, 10 to 19 an illogical range answer, 20 to 29 a status, 30 and up
// a protocol violation.
enum class HttpFetcherError : int {
    kContentLengthMismatch = 1,
    kRangeNotAligned = 10,
    kRangeNotToEnd = 11,
    kRangeLengthMismatch = 12,
    kUnexpectedStatusCode = 20,
    kPartialWithoutContentRange = 30,
};

class HttpFetcherErrorCategory final : public std::error_category {
public:
    const char* name() const noexcept override;
    std::string message(int value) const override;
};

const std::error_category& http_fetcher_error_category() noexcept;

std::error_code make_error_code(HttpFetcherError error) noexcept;

}  // namespace XMLUpdater::v2::web_cache

template <>
struct std::is_error_code_enum<XMLUpdater::v2::web_cache::HttpFetcherError> : std::true_type {};
