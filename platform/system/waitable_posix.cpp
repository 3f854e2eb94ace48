#include <errno.h>
#include <poll.h>
#include <stdint.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <span>

#include "platform/system/waitable.h"
#include "platform/system/waitable_event.h"
#include "platform/system/waitable_timer.h"

namespace rk::sys {
namespace {

int fd_of(std::intptr_t handle) { return static_cast<int>(handle); }

// Drains an eventfd or timerfd; true when it held a signal.
bool drain(int fd) {
    std::uint64_t value = 0;
    for (;;) {
        const ssize_t n = ::read(fd, &value, sizeof value);
        if (n == static_cast<ssize_t>(sizeof value)) {
            return true;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return false;
    }
}

bool readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        const int r = ::poll(&p, 1, 0);
        if (r >= 0) {
            return r == 1 && (p.revents & POLLIN) != 0;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

}  // namespace

Waitable::~Waitable() {
    if (handle_ >= 0) {
        ::close(fd_of(handle_));
    }
}

bool Waitable::consume() { return !auto_reset_ || drain(fd_of(handle_)); }

DWORD wait_for_any(std::span<Waitable* const> objects, DWORD timeout_ms) {
    if (objects.empty()) {
        return win::kWaitFailed;
    }
    // MAXIMUM_WAIT_OBJECTS, as on Windows; no allocation per wait.
    constexpr std::size_t kMaxObjects = 64;
    if (objects.size() > kMaxObjects) {
        return win::kWaitFailed;
    }
    std::array<pollfd, kMaxObjects> storage;
    const std::span<pollfd> fds(storage.data(), objects.size());
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const Waitable* w = objects[i];
        if (w == nullptr || !w->valid()) {
            return win::kWaitFailed;
        }
        fds[i] = {fd_of(w->handle_), POLLIN, 0};
    }
    using clock = std::chrono::steady_clock;
    const bool infinite = timeout_ms == win::kInfinite;
    const auto deadline = clock::now() + std::chrono::milliseconds(infinite ? 0 : timeout_ms);
    for (;;) {
        int wait_ms = -1;
        if (!infinite) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now()).count();
            wait_ms = left > 0 ? static_cast<int>(std::min<long long>(left, 0x7FFFFFFF)) : 0;
        }
        for (auto& p : fds) {
            p.revents = 0;
        }
        const int r = ::poll(fds.data(), fds.size(), wait_ms);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            return win::kWaitFailed;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if ((fds[i].revents & (POLLERR | POLLNVAL)) != 0) {
                return win::kWaitFailed;
            }
            if ((fds[i].revents & POLLIN) != 0 && objects[i]->consume()) {
                return win::kWaitObject0 + static_cast<DWORD>(i);
            }
        }
        if (r == 0) {
            return win::kWaitTimeout;
        }
    }
}

WaitableEvent::WaitableEvent(bool manual_reset, bool initially_set)
    : Waitable(::eventfd(initially_set ? 1 : 0, EFD_NONBLOCK | EFD_CLOEXEC), !manual_reset) {}

void WaitableEvent::set() {
    if (!valid()) {
        return;
    }
    // Adds to the counter; a wait or reset() drains it whole.
    const std::uint64_t one = 1;
    while (::write(static_cast<int>(native()), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void WaitableEvent::reset() {
    if (valid()) {
        drain(static_cast<int>(native()));
    }
}

bool WaitableEvent::is_set() const { return valid() && readable(static_cast<int>(native())); }

DWORD WaitableEvent::wait(DWORD timeout_ms) {
    Waitable* self = this;
    return wait_for_any(std::span<Waitable* const>(&self, 1), timeout_ms);
}

WaitableTimer::WaitableTimer() : Waitable(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC), true) {}

bool WaitableTimer::set_due(std::chrono::steady_clock::time_point due) {
    if (!valid()) {
        return false;
    }
    // steady_clock is CLOCK_MONOTONIC; a zero value would disarm, so a due
    // time at or before the epoch becomes 1 ns.
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(due.time_since_epoch()).count();
    if (ns <= 0) {
        ns = 1;
    }
    itimerspec spec{};
    spec.it_value.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    spec.it_value.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    return ::timerfd_settime(static_cast<int>(native()), TFD_TIMER_ABSTIME, &spec, nullptr) == 0;
}

bool WaitableTimer::cancel() {
    if (!valid()) {
        return false;
    }
    itimerspec spec{};
    const bool ok = ::timerfd_settime(static_cast<int>(native()), 0, &spec, nullptr) == 0;
    drain(static_cast<int>(native()));
    return ok;
}

}  // namespace rk::sys
