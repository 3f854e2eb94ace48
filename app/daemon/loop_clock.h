// Time as the polling loop sees it: whole-second sleeps on the main thread,
// nothing wakes them early. Injected so tests drive passes without waiting.
#pragma once

#include <cstdint>
#include <memory>

namespace rk::app {

class LoopClock {
public:
    LoopClock() = default;
    LoopClock(const LoopClock&) = delete;
    LoopClock& operator=(const LoopClock&) = delete;
    virtual ~LoopClock() = default;

    // Blocks the calling thread for `seconds` (> 0).
    virtual void SleepSeconds(std::int64_t seconds) = 0;
};

// Real sleeps.
std::shared_ptr<LoopClock> MakeSystemLoopClock();

}  // namespace rk::app
