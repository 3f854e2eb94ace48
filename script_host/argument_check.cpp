#include "script_host/argument_check.h"

#include <stdexcept>
#include <string>

namespace Corvane::Script {

ArgumentCheck CheckArguments(std::uint32_t count, const ScriptVariable* args, std::uint32_t expected,
                             const std::uint32_t* spec) {
    if (expected == 0) {
        return {true, 0};
    }
    if (spec == nullptr || (count > 0 && args == nullptr) || (count == 0 && args != nullptr)) {
        return {false, 0};
    }
    for (std::uint32_t i = 0; i < expected; ++i) {
        if (i >= count) {
            // "Any" (0xFF top byte) carries the optional bit too.
            return {(spec[i] & kArgOptional) != 0, i};
        }
        if ((spec[i] & kArgAny) == kArgAny) {
            continue;
        }
        if (args[i].GetTypeNumber() != (spec[i] & 0x00FFFFFF)) {
            return {false, i};
        }
    }
    return {true, expected};
}

std::uint32_t RequireArguments(std::uint32_t count, const ScriptVariable* args, const ArgumentSpec& spec) {
    const ArgumentCheck check =
        CheckArguments(count, args, static_cast<std::uint32_t>(spec.size()), spec.empty() ? nullptr : spec.data());
    if (!check.valid) {
        throw std::logic_error(kMsgIncorrectParameters + std::to_string(count));
    }
    return check.checked;
}

}  // namespace Corvane::Script
