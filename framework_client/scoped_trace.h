// Entry and exit lines of traced functions, with the nesting depth of the
// calling thread and the time spent:
//   "[framework] (+ 1) get_setting" ... "[framework] (- 1) get_setting [perf] 3ms"
#pragma once

#include <chrono>
#include <string>

namespace ctp::detail {

class scoped_trace {
public:
    scoped_trace(const char* component, const char* function);
    scoped_trace(const scoped_trace&) = delete;
    scoped_trace& operator=(const scoped_trace&) = delete;
    ~scoped_trace();

    // Text appended to the exit line (after the duration).
    void set_exit_detail(std::wstring detail) { detail_ = std::move(detail); }

    // The calling thread's current depth (0 outside any trace).
    static int depth();

private:
    const char* component_;
    const char* function_;
    int depth_;
    std::chrono::steady_clock::time_point start_;
    std::wstring detail_;
};

}  // namespace ctp::detail
