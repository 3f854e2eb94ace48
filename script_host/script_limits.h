// Limits of one script engine instance.
#pragma once

#include <chrono>
#include <cstddef>

namespace Corvane::Script {

struct ScriptLimits {
    // Script time per call into the engine (a script run, a function
    // call); time spent in native plug-in methods does not count. A script
    // over it is interrupted with an error it cannot catch.
    std::chrono::milliseconds time_limit{30'000};
    // Bytes the engine may hold; an allocation beyond fails the script with
    // a RangeError.
    std::size_t heap_limit = 256u * 1024 * 1024;
};

}  // namespace Corvane::Script
