// A descriptor owned for one scope, closed on every path, a write that
// finishes and a read that stops at a bound; for the seam's POSIX sources only.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <string>
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

// Writes every byte, retrying after a signal; false with errno set otherwise.
inline bool write_all(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Appends the rest of `fd` to `out`, at most `limit` bytes, retrying after a
// signal. Returns 0 at the end, EFBIG when more than `limit` bytes follow (`out`
// then holds exactly `limit` of them) or the errno of a failed read. The bound
// holds while reading, so files that report no size (/proc, /sys) and files
// that grow are bounded as well.
inline int read_bounded(int fd, std::string& out, std::size_t limit) {
    constexpr std::size_t kChunk = 64 * 1024;
    const std::size_t start = out.size();
    for (;;) {
        const std::size_t have = out.size() - start;
        // One byte past the limit tells a file of exactly `limit` bytes from a larger one.
        const std::size_t room = limit - have;
        const std::size_t want = room < kChunk ? room + 1 : kChunk;
        out.resize(start + have + want);
        const ssize_t n = ::read(fd, out.data() + start + have, want);
        const int error = errno;
        out.resize(start + have + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        if (n < 0 && error == EINTR) {
            continue;
        }
        if (n < 0) {
            return error;
        }
        if (n == 0) {
            return 0;
        }
        if (out.size() - start > limit) {
            out.resize(start + limit);
            return EFBIG;
        }
    }
}

}  // namespace rk::sys
