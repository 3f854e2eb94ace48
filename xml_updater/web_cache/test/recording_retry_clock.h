// Test helper: a retry clock that records the waits instead of sleeping.
#pragma once

#include <chrono>
#include <vector>

#include "xml_updater/web_cache/retry_clock.h"

namespace XMLUpdater::v2::web_cache::test {

class RecordingRetryClock final : public RetryClock {
public:
    void sleep_for(std::chrono::milliseconds delay) override { sleeps.push_back(delay); }
    std::vector<std::chrono::milliseconds> sleeps;
};

}  // namespace XMLUpdater::v2::web_cache::test
