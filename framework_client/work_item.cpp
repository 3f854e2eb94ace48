#include "framework_client/work_item.h"

namespace ctp::detail {

void completion_slot::complete(outcome o) {
    {
        std::lock_guard lock(mutex_);
        if (done_ || abandoned_) {
            return;
        }
        outcome_ = std::move(o);
        done_ = true;
    }
    cv_.notify_all();
}

bool completion_slot::wait_for(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    // wait_until on a far deadline overflows; four hours is far from that.
    if (cv_.wait_for(lock, timeout, [this] { return done_; })) {
        return true;
    }
    abandoned_ = true;
    return false;
}

bool completion_slot::abandoned() const {
    std::lock_guard lock(mutex_);
    return abandoned_;
}

}  // namespace ctp::detail
