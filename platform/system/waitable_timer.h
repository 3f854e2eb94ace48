// A one-shot synchronization timer on the monotonic clock
// (CreateWaitableTimerW without manual reset, SetWaitableTimer with an
// absolute due time, CancelWaitableTimer). Signalled from the due time until
// a wait takes it.
#pragma once

#include <chrono>

#include "platform/system/waitable.h"

namespace rk::sys {

class WaitableTimer : public Waitable {
public:
    WaitableTimer();

    // Arms (or re-arms) the timer; a due time in the past signals at once.
    bool set_due(std::chrono::steady_clock::time_point due);
    // Disarms it and drops a pending signal.
    bool cancel();
};

}  // namespace rk::sys
