// http_robo_fetch: fetches a cached object with up to three tries, waiting
// 0, 5 and 10 seconds before them. An illogical answer to a range request
// discards the cached data and runs the transaction again at once; a
// connection that was interrupted moves on to the next try; anything else
// ends the fetch.
#pragma once

#include <chrono>
#include <functional>

#include "xml_updater/web_cache/retry_clock.h"

namespace XMLUpdater::v2::web_cache {

class Cached_object;
class HttpFetcher;

inline constexpr std::chrono::milliseconds kRoboFetchDelays[] = {
    std::chrono::milliseconds(0), std::chrono::milliseconds(5000), std::chrono::milliseconds(10000)};
// A longer delay is cut to this.
inline constexpr std::chrono::milliseconds kMaxRetryDelay = std::chrono::hours(24 * 10);

inline constexpr char kMsgRoboUnexpected[] = "Unexpected error encountered by http_robo_fetch()";
inline constexpr char kMsgRoboTriedAll[] = "http_robo_fetch() tried 3 times to complete HTTP transaction";

// The retry policy over any transaction: `transaction` runs one try and
// throws std::system_error on failure, `discard` drops the cached data.
// Throws std::system_error: kMsgRoboUnexpected with the error that ended the
// fetch, or kMsgRoboTriedAll with the last one. Other exceptions pass
// through.
void robo_fetch(const std::function<void()>& transaction, const std::function<void()>& discard, RetryClock& clock);

// The policy over the fetcher's transaction for `object`.
void http_robo_fetch(Cached_object& object, HttpFetcher& fetcher, RetryClock& clock);

}  // namespace XMLUpdater::v2::web_cache
