// A manual-reset event that the registry's change monitor signals (the
// counterpart of the event HANDLE given to RegNotifyChangeKeyValue).
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace rk::sys::reg {

class ChangeEvent {
public:
    void set();
    void reset();
    bool is_set() const;
    // True when the event was (or became) signalled within `timeout`.
    bool wait_for(std::chrono::milliseconds timeout);
    void wait();

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_ = false;
};

}  // namespace rk::sys::reg
