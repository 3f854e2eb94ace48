// One queued call of the communicator and the slot its caller waits on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>

namespace ctp::detail {

// Where a caller waits for its call. A caller that stops waiting abandons
// the slot: the call is then not sent any more.
class completion_slot {
public:
    struct outcome {
        std::error_code result;
        std::string reply;     // SendMessage's reply text
        std::int32_t hr = 0;   // invoke_rpc's own answer
        std::uint32_t number = 0;
    };

    void complete(outcome o);
    // True when completed within `timeout`; otherwise the slot is abandoned.
    bool wait_for(std::chrono::milliseconds timeout);
    bool abandoned() const;
    const outcome& result() const { return outcome_; }  // after wait_for returned true

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    bool abandoned_ = false;
    outcome outcome_;
};

struct work_item {
    static constexpr std::uint32_t kFlagInvokeRpc = 0x1;  // name/payload are a procedure call

    std::uint16_t type = 0;
    std::string name;     // the message name, or the procedure name
    std::string payload;  // UTF-8
    std::shared_ptr<completion_slot> slot;
    bool priority = false;  // goes to the front of the queue
    std::uint32_t flags = 0;
};

}  // namespace ctp::detail
