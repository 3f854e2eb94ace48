#include "xml_updater/web_cache/http_fetcher_error.h"

#include "platform/errors/category_instance.h"

namespace XMLUpdater::v2::web_cache {

const char* HttpFetcherErrorCategory::name() const noexcept { return kHttpFetcherErrorCategoryName; }

std::string HttpFetcherErrorCategory::message(int value) const {
    switch (static_cast<HttpFetcherError>(value)) {
        case HttpFetcherError::kContentLengthMismatch:
            return "The number of bytes received does not match the Content-Length header value";
        case HttpFetcherError::kRangeNotAligned:
            return "Returned byte range does not align with cached data";
        case HttpFetcherError::kRangeNotToEnd:
            return "Returned byte range does not extend to end of resource";
        case HttpFetcherError::kRangeLengthMismatch:
            return "Returned byte range length does not match Content-Length";
        case HttpFetcherError::kUnexpectedStatusCode:
            return "Unexpected status code";
        case HttpFetcherError::kPartialWithoutContentRange:
            return "HTTP protocol voiolation: Server sent a 206 Partial Content status with no Content-Range header";
    }
    return "Unknown error (" + std::to_string(value) + ")";
}

const std::error_category& http_fetcher_error_category() noexcept {
    return dira_doro::category_instance<HttpFetcherErrorCategory>();
}

std::error_code make_error_code(HttpFetcherError error) noexcept {
    return {static_cast<int>(error), http_fetcher_error_category()};
}

}  // namespace XMLUpdater::v2::web_cache
