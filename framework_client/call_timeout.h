// The remote call timeout of framework operations: the caller's value when
// given; otherwise the calling thread's override when set (0 means four
// hours, kUseClientTimeout the client's configured timeout); otherwise four
// hours.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace ctp {

inline constexpr std::chrono::milliseconds kDefaultCallTimeout{14400000};
inline constexpr std::uint32_t kUseClientTimeout = 0xFFFFFFFFu;

// Sets (or with nullopt clears) the calling thread's override.
void set_thread_call_timeout(std::optional<std::uint32_t> milliseconds);
std::optional<std::uint32_t> thread_call_timeout();

// Sets the override for a scope and restores the previous one.
class scoped_call_timeout {
public:
    explicit scoped_call_timeout(std::uint32_t milliseconds);
    scoped_call_timeout(const scoped_call_timeout&) = delete;
    scoped_call_timeout& operator=(const scoped_call_timeout&) = delete;
    ~scoped_call_timeout();

private:
    std::optional<std::uint32_t> previous_;
};

std::chrono::milliseconds effective_call_timeout(std::optional<std::chrono::milliseconds> given,
                                                 std::chrono::milliseconds client_timeout);

}  // namespace ctp
