#include "xml_updater/web_cache/http_robo_fetch.h"

#include <algorithm>
#include <system_error>

#include "xml_updater/web_cache/cached_object.h"
#include "xml_updater/web_cache/http_fetcher.h"
#include "xml_updater/web_cache/http_fetcher_failure.h"

namespace XMLUpdater::v2::web_cache {

void robo_fetch(const std::function<void()>& transaction, const std::function<void()>& discard, RetryClock& clock) {
    std::error_code last;
    for (const auto delay : kRoboFetchDelays) {
        if (delay.count() > 0) {
            clock.sleep_for(std::min(delay, kMaxRetryDelay));
        }
        try {
            transaction();
            return;
        } catch (const std::system_error& error) {
            last = error.code();
        }
        if (last == HttpFetcherFailure::kIllogicalRangeResponse) {
            discard();
            try {
                transaction();
                return;
            } catch (const std::system_error& error) {
                last = error.code();
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
