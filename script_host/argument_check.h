// Argument type words of plug-in methods: one 32-bit word per expected
// argument. The low 24 bits are the required type number, bit 24 marks the
// argument optional, a top byte of 0xFF accepts any type (and, since it
// includes bit 24, makes the argument optional as well).
#pragma once

#include <cstdint>
#include <vector>

#include "script_host/script_variable.h"

namespace Corvane::Script {

inline constexpr std::uint32_t kArgString = 1;
inline constexpr std::uint32_t kArgBoolean = 2;
inline constexpr std::uint32_t kArgInteger = 3;
inline constexpr std::uint32_t kArgObject = 4;
inline constexpr std::uint32_t kArgOptional = 0x01000000;
inline constexpr std::uint32_t kArgAny = 0xFF000000;

inline constexpr char kMsgIncorrectParameters[] =
    "Incorrect number of parameters or invalid types. Number of parameters passed: ";

using ArgumentSpec = std::vector<std::uint32_t>;

struct ArgumentCheck {
    bool valid = false;
    std::uint32_t checked = 0;  // arguments present up to the first missing optional one
};

// Checks `count` arguments against `expected` words of `spec`. Arguments
// beyond the expected words are ignored; a missing argument is accepted only
// where its word is optional, and the check stops there.
ArgumentCheck CheckArguments(std::uint32_t count, const ScriptVariable* args, std::uint32_t expected,
                             const std::uint32_t* spec);

// The check that plug-in methods run: throws std::logic_error with
// kMsgIncorrectParameters and the count when the call does not match.
// Returns how many arguments were present.
std::uint32_t RequireArguments(std::uint32_t count, const ScriptVariable* args, const ArgumentSpec& spec);

}  // namespace Corvane::Script
