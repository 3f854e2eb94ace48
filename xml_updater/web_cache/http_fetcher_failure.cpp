#include "xml_updater/web_cache/http_fetcher_failure.h"

#include "platform/errors/category_instance.h"
#include "platform/errors/win_error.h"
#include "platform/errors/winhttp_error_category.h"
#include "xml_updater/web_cache/http_fetcher_error.h"
#include "xml_updater/web_cache/winhttp_category.h"

namespace XMLUpdater::v2::web_cache {
namespace {

bool is_interrupting_winhttp_error(int value) {
    switch (static_cast<rk::DWORD>(value)) {
        case rk::win::kWinHttpErrorTimeout:
        case rk::win::kWinHttpErrorNameNotResolved:
        case rk::win::kWinHttpErrorCannotConnect:
        case rk::win::kWinHttpErrorConnectionError:
            return true;
        default:
            return false;
    }
}

// The failure a fetcher error belongs to; 0 for none.
int failure_of_fetcher_error(int value) {
    if (value <= 0) {
        return 0;
    }
    if (value < 10) {
        return static_cast<int>(HttpFetcherFailure::kConnectionInterrupted);
    }
    if (value < 20) {
        return static_cast<int>(HttpFetcherFailure::kIllogicalRangeResponse);
    }
    if (value < 30) {
        return static_cast<int>(HttpFetcherFailure::kUnexpectedResponseCode);
    }
    return static_cast<int>(HttpFetcherFailure::kProtocolViolation);
}

}  // namespace

const char* HttpFetcherFailureCategory::name() const noexcept { return kHttpFetcherFailureCategoryName; }

std::string HttpFetcherFailureCategory::message(int value) const {
    switch (static_cast<HttpFetcherFailure>(value)) {
        case HttpFetcherFailure::kConnectionInterrupted:
            return "The TCP connection to the server was interrupted";
        case HttpFetcherFailure::kIllogicalRangeResponse:
            return "The HTTP server returned an unexpected or illogical response to a range request";
        case HttpFetcherFailure::kUnexpectedResponseCode:
            return "The HTTP server returned an unexpected response code";
        case HttpFetcherFailure::kProtocolViolation:
            break;
    }
    return "Unknown error (" + std::to_string(value) + ")";
}

bool HttpFetcherFailureCategory::equivalent(const std::error_code& code, int condition) const noexcept {
    if (code.category() == http_fetcher_error_category()) {
        return failure_of_fetcher_error(code.value()) == condition && condition != 0;
    }
    if (code.category() == winhttp_category() || code.category() == dira_doro::winhttp_category()) {
        return condition == static_cast<int>(HttpFetcherFailure::kConnectionInterrupted) &&
               is_interrupting_winhttp_error(code.value());
    }
    return false;
}

const std::error_category& http_fetcher_failure_category() noexcept {
    return dira_doro::category_instance<HttpFetcherFailureCategory>();
}

std::error_condition make_error_condition(HttpFetcherFailure failure) noexcept {
    return {static_cast<int>(failure), http_fetcher_failure_category()};
}

}  // namespace XMLUpdater::v2::web_cache
