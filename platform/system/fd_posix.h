// A descriptor owned for one scope, closed on every path; for the seam's
// POSIX sources only.
#pragma once

#include <unistd.h>

#include <utility>

namespace rk::sys {

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    // Hands the descriptor over; the Fd no longer closes it.
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

}  // namespace rk::sys
