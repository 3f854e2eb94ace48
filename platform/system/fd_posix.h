// A descriptor owned for one scope, closed on every path; for the seam's
// POSIX sources only.
#pragma once

#include <unistd.h>

namespace rk::sys {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace rk::sys
