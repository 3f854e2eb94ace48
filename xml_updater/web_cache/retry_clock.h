// The waits between the fetch tries of the web cache, behind an interface so
// tests can run the retry schedule without waiting it out.
#pragma once

#include <chrono>
#include <memory>

namespace XMLUpdater::v2::web_cache {

class RetryClock {
public:
    RetryClock() = default;
    RetryClock(const RetryClock&) = delete;
    RetryClock& operator=(const RetryClock&) = delete;
    virtual ~RetryClock() = default;

    // Blocks the calling thread for `delay` on a monotonic clock.
    virtual void sleep_for(std::chrono::milliseconds delay) = 0;
};

// The real clock (std::chrono::steady_clock).
std::shared_ptr<RetryClock> steady_retry_clock();

}  // namespace XMLUpdater::v2::web_cache
