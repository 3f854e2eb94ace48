// An event object (CreateEventW, SetEvent, ResetEvent).
#pragma once

#include "platform/system/waitable.h"

namespace rk::sys {

class WaitableEvent : public Waitable {
public:
    // A manual-reset event stays signalled until reset; an auto-reset one
    // releases one wait and resets itself.
    WaitableEvent(bool manual_reset, bool initially_set);

    void set();
    void reset();
    // Whether the event is signalled, without resetting it.
    bool is_set() const;
    // WaitForSingleObject: win::kWaitObject0 or win::kWaitTimeout.
    DWORD wait(DWORD timeout_ms);
};

}  // namespace rk::sys
