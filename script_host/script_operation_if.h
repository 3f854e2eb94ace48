// One queued call of a script or plug-in method.
#pragma once

#include <cstdint>

#include "script_host/script_variable.h"

namespace Corvane::Script {

// What IScriptOperation::Wait returns.
enum class WaitStatus : std::uint32_t {
    kSucceeded = 0,  // done; the result was copied out
    kFailed = 1,     // done; the call failed
    kCancelled = 2,
    kTimeout = 4,    // not done within the time
};

inline constexpr std::uint32_t kWaitInfinite = 0xFFFFFFFF;

class IScriptOperation {
public:
    virtual ~IScriptOperation() = default;
    // Marks the operation cancelled (unless it already finished) and wakes
    // its waiters; a queued operation then never runs. Always true.
    virtual bool Cancel() = 0;
    // Waits at most `milliseconds` (kWaitInfinite: no limit) for the end.
    virtual WaitStatus Wait(std::uint32_t milliseconds, ScriptVariable& result) = 0;
    // Runs the call once (only from the waiting state); true when it
    // succeeded. Never throws.
    virtual bool Execute() = 0;
};

}  // namespace Corvane::Script
