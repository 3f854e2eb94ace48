// The token language of update documents: "[NAME]" reads a variable,
// "[NAME:ARGUMENTS]" calls a substitution. Expansion runs right to left:
//   1. pos = the last '['; none: done.
//   2. the first ']' at or after pos closes the token; none: the '[' stays
//      and the scan goes on with the '[' before it.
//   3. the first ':' between the brackets splits NAME from ARGUMENTS (no ':'
//      there: a variable reference); the token, brackets included, is
//      replaced by the resolver's answer.
//   4. the scan goes on with the last '[' at or before pos, so a replacement
//      is examined again only when it begins with '['.
// Inner tokens are therefore expanded before the token that holds them, and
// brackets after the first character of a replacement are never expanded.
//
// Bounds (a value that expands back to itself would otherwise loop forever
// or grow without end):
//   - a replacement that begins with '[' is examined again at most
//     kMaxChainedExpansions times in a row at the same place; the next one
//     becomes "!UNKNOWN";
//   - a replacement that would make the text longer than
//     max(kMaxExpandedChars, original length) becomes "!UNKNOWN".
// The work is linear in the text plus the replacements: the text right of
// the scan position is kept reversed, so a replacement is pushed, not
// inserted.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace XMLUpdater::v2 {

inline constexpr std::size_t kMaxChainedExpansions = 64;
inline constexpr std::size_t kMaxExpandedChars = std::size_t{1} << 20;

// Why a token was cut off, for the caller's log.
enum class ExpansionLimit { Chain, Length };

struct TokenResolver {
    // name, arguments (null for a variable reference) -> replacement.
    std::function<std::wstring(const std::wstring& name, const std::wstring* arguments)> resolve;
    // Called when a bound cut a token off (may be empty).
    std::function<void(ExpansionLimit limit, const std::wstring& name)> limit_hit;
};

// The buffers an expansion works in. A caller that expands many values
// keeps one and passes it each time, so that expanding a short value
// allocates nothing but the replacements (capacities stay, up to a bound).
struct ExpansionScratch {
    std::wstring right;
    std::vector<std::size_t> closes;
    std::wstring content;
    std::wstring name;
    std::wstring arguments;
};

void expand_tokens(std::wstring& text, const TokenResolver& resolver);
void expand_tokens(std::wstring& text, const TokenResolver& resolver, ExpansionScratch& scratch);

}  // namespace XMLUpdater::v2
