#include "framework_client/call_timeout.h"

namespace ctp {

namespace {
thread_local std::optional<std::uint32_t> t_override;
}

void set_thread_call_timeout(std::optional<std::uint32_t> milliseconds) { t_override = milliseconds; }

std::optional<std::uint32_t> thread_call_timeout() { return t_override; }

scoped_call_timeout::scoped_call_timeout(std::uint32_t milliseconds) : previous_(t_override) {
    t_override = milliseconds;
}

scoped_call_timeout::~scoped_call_timeout() { t_override = previous_; }

std::chrono::milliseconds effective_call_timeout(std::optional<std::chrono::milliseconds> given,
                                                 std::chrono::milliseconds client_timeout) {
    if (given) {
        return *given;
    }
    if (t_override) {
        if (*t_override == 0) {
            return kDefaultCallTimeout;
        }
        if (*t_override == kUseClientTimeout) {
            return client_timeout;
        }
        return std::chrono::milliseconds(*t_override);
    }
    return kDefaultCallTimeout;
}

}  // namespace ctp
