// Cancelling every request a thread runs, from another thread (on Windows:
// closing the thread's WinHTTP handles while a call is pending).
//
// A thread installs a token; requests opened on that thread afterwards
// keep it, and once it is cancelled their pending and later operations fail
// with kWinHttpErrorOperationCancelled (12017) within kCancelLatencyMs.
#pragma once

#include <atomic>
#include <memory>

namespace rk::sys::http {

inline constexpr int kCancelLatencyMs = 20;

class CancelToken {
public:
    void cancel() { cancelled_.store(true, std::memory_order_release); }
    bool cancelled() const { return cancelled_.load(std::memory_order_acquire); }

private:
    std::atomic<bool> cancelled_{false};
};

// Installs `token` for the calling thread (null: none) and returns the
// previous one.
std::shared_ptr<const CancelToken> set_thread_cancel_token(std::shared_ptr<const CancelToken> token);
std::shared_ptr<const CancelToken> thread_cancel_token();

}  // namespace rk::sys::http
