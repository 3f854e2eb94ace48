// Failure conditions of the web cache's fetcher ("HttpFetcherFailureCategory"):
// the retry policy tests an error against these to decide what to do next.
#pragma once

#include <string>
#include <system_error>
#include <type_traits>

namespace XMLUpdater::v2::web_cache {

inline constexpr char kHttpFetcherFailureCategoryName[] = "HttpFetcherFailureCategory";

enum class HttpFetcherFailure : int {
    // WinHTTP 12002, 12007, 12029, 12030 (either WinHTTP category) and
    // fetcher errors below 10.
    kConnectionInterrupted = 1,
    kIllogicalRangeResponse = 2,  // fetcher errors 10 to 19
    kUnexpectedResponseCode = 3,  // fetcher errors 20 to 29
    kProtocolViolation = 4,       // fetcher errors 30 and up
};

class HttpFetcherFailureCategory final : public std::error_category {
public:
    const char* name() const noexcept override;
    std::string message(int value) const override;
    bool equivalent(const std::error_code& code, int condition) const noexcept override;
};

const std::error_category& http_fetcher_failure_category() noexcept;

std::error_condition make_error_condition(HttpFetcherFailure failure) noexcept;

}  // namespace XMLUpdater::v2::web_cache

template <>
struct std::is_error_condition_enum<XMLUpdater::v2::web_cache::HttpFetcherFailure> : std::true_type {};
