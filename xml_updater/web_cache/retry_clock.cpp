#include "xml_updater/web_cache/retry_clock.h"

#include <thread>

namespace XMLUpdater::v2::web_cache {
namespace {

class SteadyRetryClock final : public RetryClock {
public:
    void sleep_for(std::chrono::milliseconds delay) override {
        // this_thread::sleep_for measures on the steady clock.
        std::this_thread::sleep_for(delay);
    }
};

}  // namespace

std::shared_ptr<RetryClock> steady_retry_clock() {
    static const auto clock = std::make_shared<SteadyRetryClock>();
    return clock;
}

}  // namespace XMLUpdater::v2::web_cache
