#include "xml_updater/web_cache/response_plan.h"

#include <system_error>

#include "platform/text/format.h"
#include "platform/text/utf.h"
#include "xml_updater/web_cache/content_range.h"
#include "xml_updater/web_cache/http_fetcher_error.h"

namespace XMLUpdater::v2::web_cache {
namespace {

[[noreturn]] void fail(HttpFetcherError error, const std::string& what = {}) {
    throw std::system_error(make_error_code(error), what);
}

ResponsePlan plan_partial(const ResponseFacts& facts) {
    if (!facts.content_range) {
        fail(HttpFetcherError::kPartialWithoutContentRange);
    }
    const auto range = parse_content_range(*facts.content_range);
    if (!range) {
        fail(HttpFetcherError::kPartialWithoutContentRange,
             rk::text::wide_to_utf8(rk::text::format(L"Unable to parse content range '%ls' from server",
                                                     *facts.content_range)));
    }
    if (!range->consistent()) {
        fail(HttpFetcherError::kPartialWithoutContentRange, "Server returned invalid content range");
    }
    if (range->first != facts.cached_size) {
        fail(HttpFetcherError::kRangeNotAligned);
    }
    const auto total = range->total ? range->total : facts.entity_length;
    if (!total || range->last + 1 != *total) {
        fail(HttpFetcherError::kRangeNotToEnd);
    }
    if (!facts.content_length || *facts.content_length != range->length()) {
        fail(HttpFetcherError::kRangeLengthMismatch);
    }
    if (facts.entity_length && *total != *facts.entity_length) {
        fail(HttpFetcherError::kRangeNotAligned);  // the resource is not the one cached
    }
    return {BodyAction::kAppend, range->length(), *total};
}

}  // namespace

ResponsePlan plan_response(const ResponseFacts& facts) {
    switch (facts.status) {
        case kStatusNotModified:
            if (!facts.entity_length || *facts.entity_length != facts.cached_size) {
                fail(HttpFetcherError::kRangeNotAligned);  // "current", yet the data is incomplete
            }
            return {BodyAction::kKeep, 0, facts.cached_size};
        case kStatusOk:
            if (!facts.content_length) {
                fail(HttpFetcherError::kContentLengthMismatch);
            }
            return {BodyAction::kRewrite, *facts.content_length, *facts.content_length};
        case kStatusPartialContent:
            return plan_partial(facts);
        default:
            fail(HttpFetcherError::kUnexpectedStatusCode,
                 rk::text::format(std::string_view("WinHttp: Unexpected status code (%u)"), facts.status));
    }
}

}  // namespace XMLUpdater::v2::web_cache
