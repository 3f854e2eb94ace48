#include "script_host/script_timer_queue.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace Corvane::Script {

std::uint32_t ScriptTimerQueue::Add(std::chrono::milliseconds interval, bool repeating, Callback callback) {
    std::lock_guard lock(mutex_);
    std::uint32_t id = next_id_;
    while (id == 0 || timers_.contains(id)) {
        ++id;
    }
    next_id_ = id + 1;
    if (interval.count() < 0) {
        interval = std::chrono::milliseconds(0);
    }
    timers_.emplace(id, Timer{Clock::now() + interval, interval, repeating, std::move(callback)});
    Rearm();
    return id;
}

bool ScriptTimerQueue::Remove(std::uint32_t id) {
    std::lock_guard lock(mutex_);
    const bool removed = timers_.erase(id) != 0;
    Rearm();
    return removed;
}

void ScriptTimerQueue::Clear() {
    std::map<std::uint32_t, Timer> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(timers_);
        Rearm();
    }
}

std::size_t ScriptTimerQueue::Size() const {
    std::lock_guard lock(mutex_);
    return timers_.size();
}

void ScriptTimerQueue::RunDue(Clock::time_point now) {
    std::vector<std::pair<Clock::time_point, std::uint32_t>> due;
    std::vector<std::pair<std::uint32_t, Callback>> callbacks;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [id, t] : timers_) {
            if (t.due <= now) {
                due.emplace_back(t.due, id);
            }
        }
        std::sort(due.begin(), due.end());
        callbacks.reserve(due.size());
        for (const auto& [when, id] : due) {
            auto it = timers_.find(id);
            callbacks.emplace_back(id, it->second.callback);
            if (it->second.repeating) {
                Timer& t = it->second;
                t.due += t.interval;
                if (t.due <= now) {
                    t.due = now + std::max<Clock::duration>(t.interval, std::chrono::nanoseconds(1));
                }
            } else {
                timers_.erase(it);
            }
        }
        Rearm();
    }
    for (auto& [id, callback] : callbacks) {
        if (callback) {
            callback(id);
        }
    }
}

void ScriptTimerQueue::Rearm() {
    auto next = Clock::time_point::max();
    for (const auto& [id, t] : timers_) {
        next = std::min(next, t.due);
    }
    if (next == armed_) {
        return;
    }
    armed_ = next;
    if (next == Clock::time_point::max()) {
        timer_.cancel();
    } else {
        timer_.set_due(next);
    }
}

}  // namespace Corvane::Script
