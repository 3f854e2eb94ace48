// The NUM comparison, shared by VER for each version segment: both texts as
// signed 64-bit base-10 numbers (leading white space and a sign accepted,
// the number ends at the first non-digit, at least one digit required).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "xml_updater/preconditions/precondition_constants.h"

namespace XMLUpdater::v2 {

// Error: a failure that was logged (Name "!UNKNOWN", no digits, out of
// range, unknown operator); the caller treats it as not satisfied.
enum class CompareOutcome { False, True, Error };

struct NumberPair {
    std::int64_t name = 0;
    std::int64_t value = 0;
};

CompareOutcome compare_numbers(const std::wstring& name, const std::wstring& op, const std::wstring& value,
                               NumberPair* numbers = nullptr);

// EQ, NEQ, LT, GT, LE, GE over any ordered pair; nullopt for another operator.
template <typename T>
std::optional<bool> apply_order_operator(const std::wstring& op, const T& a, const T& b) {
    if (op == kOpEq) {
        return a == b;
    }
    if (op == kOpNeq) {
        return !(a == b);
    }
    if (op == kOpLt) {
        return a < b;
    }
    if (op == kOpGt) {
        return b < a;
    }
    if (op == kOpLe) {
        return !(b < a);
    }
    if (op == kOpGe) {
        return !(a < b);
    }
    return std::nullopt;
}

}  // namespace XMLUpdater::v2
