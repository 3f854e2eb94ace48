// The timers of one script thread: callbacks due at a time on the monotonic
// clock, once or repeatedly, run by the thread's dispatcher loop. The loop
// waits on waitable() together with its stop and work events.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

#include "platform/system/waitable_timer.h"

namespace Corvane::Script {

class ScriptTimerQueue {
public:
    using Clock = std::chrono::steady_clock;
    using Callback = std::function<void(std::uint32_t id)>;

    // A new timer due `interval` from now (0: at the next turn of the loop);
    // repeating timers come back every `interval`. Returns its id (never 0).
    std::uint32_t Add(std::chrono::milliseconds interval, bool repeating, Callback callback);
    // False when no such timer is pending.
    bool Remove(std::uint32_t id);
    void Clear();
    std::size_t Size() const;

    // Runs the callbacks of every timer due at `now`, earliest first (ties in
    // the order they were set), outside the queue's lock, then re-arms the
    // waitable for the next one. A repeating timer that fell behind is next
    // due one interval after `now`: missed turns are not caught up.
    void RunDue(Clock::time_point now);

    rk::sys::Waitable& waitable() { return timer_; }

private:
    struct Timer {
        Clock::time_point due;
        std::chrono::milliseconds interval;
        bool repeating;
        Callback callback;
    };

    void Rearm();  // with mutex_ held

    mutable std::mutex mutex_;
    std::map<std::uint32_t, Timer> timers_;
    std::uint32_t next_id_ = 1;
    rk::sys::WaitableTimer timer_;
    // What the timer is armed for (max: disarmed), to skip needless re-arming.
    Clock::time_point armed_ = Clock::time_point::max();
};

}  // namespace Corvane::Script
