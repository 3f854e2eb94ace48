#include "xml_updater/web_cache/http_robo_fetch.h"

#include <algorithm>
#include <system_error>

#include "xml_updater/web_cache/cached_object.h"
#include "xml_updater/web_cache/http_fetcher.h"
#include "xml_updater/web_cache/http_fetcher_failure.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2::web_cache {
namespace {

constexpr wchar_t kFile[] = L"http_robo_fetch.cpp";

// Runs one transaction; the failure of a try is logged (the final error
// only names its category's text).
std::error_code attempt(const std::function<void()>& transaction) {
    try {
        transaction();
        return {};
    } catch (const std::system_error& error) {
        XmlUpdaterLog(kXmlLogWarning, kFile, L"http_robo_fetch", __LINE__, L"HTTP transaction failed: %hs",
                      error.what());
        return error.code();
    }
}

}  // namespace

void robo_fetch(const std::function<void()>& transaction, const std::function<void()>& discard, RetryClock& clock) {
    std::error_code last;
    for (const auto delay : kRoboFetchDelays) {
        if (delay.count() > 0) {
            clock.sleep_for(std::min(delay, kMaxRetryDelay));
        }
        last = attempt(transaction);
        if (!last) {
            return;
        }
        if (last == HttpFetcherFailure::kIllogicalRangeResponse) {
            discard();
            last = attempt(transaction);
            if (!last) {
                return;
            }
        }
        if (last != HttpFetcherFailure::kConnectionInterrupted) {
            throw std::system_error(last, kMsgRoboUnexpected);
        }
    }
    throw std::system_error(last, kMsgRoboTriedAll);
}

void http_robo_fetch(Cached_object& object, HttpFetcher& fetcher, RetryClock& clock) {
    robo_fetch([&] { fetcher.fetch(object); }, [&] { object.discard(); }, clock);
}

}  // namespace XMLUpdater::v2::web_cache
