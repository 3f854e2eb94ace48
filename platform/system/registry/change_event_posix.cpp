#include "platform/system/registry/change_event.h"

namespace rk::sys::reg {

void ChangeEvent::set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    cv_.notify_all();
}

void ChangeEvent::reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool ChangeEvent::is_set() const {
    std::lock_guard lock(mutex_);
    return signalled_;
}

bool ChangeEvent::wait_for(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [this] { return signalled_; });
}

void ChangeEvent::wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return signalled_; });
}

}  // namespace rk::sys::reg
