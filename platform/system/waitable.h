// Kernel objects a thread can wait for, several at once
// (WaitForMultipleObjects with wait-any). On Linux each object is a file
// descriptor (eventfd, timerfd) and the wait is poll().
#pragma once

#include <cstdint>
#include <span>

#include "platform/errors/win_error.h"

namespace rk::sys {

class Waitable {
public:
    Waitable(const Waitable&) = delete;
    Waitable& operator=(const Waitable&) = delete;
    virtual ~Waitable();

    // False when the object could not be created (no descriptors left).
    bool valid() const { return handle_ >= 0; }

protected:
    // `auto_reset`: a wait that returns this object resets it.
    Waitable(std::intptr_t handle, bool auto_reset) : handle_(handle), auto_reset_(auto_reset) {}
    std::intptr_t native() const { return handle_; }

private:
    friend DWORD wait_for_any(std::span<Waitable* const> objects, DWORD timeout_ms);
    // Takes the signal of an auto-reset object; false when another waiter
    // took it first.
    bool consume();

    std::intptr_t handle_;
    bool auto_reset_;
};

// WaitForMultipleObjects(count, objects, FALSE, timeout_ms):
// win::kWaitObject0 + i for the lowest-numbered signalled object (resetting
// it when it is auto-reset), win::kWaitTimeout after `timeout_ms`
// (win::kInfinite: never), win::kWaitFailed for an empty list, more than 64
// objects (MAXIMUM_WAIT_OBJECTS), an invalid object or a failed wait.
DWORD wait_for_any(std::span<Waitable* const> objects, DWORD timeout_ms);

}  // namespace rk::sys
