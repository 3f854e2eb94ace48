// The "RE" operator's matcher (NSRegEx::DoesMatch) over PCRE2.
//
// Text and pattern are converted to UTF-8 and matched byte-wise (the 8-bit
// library without UTF mode, no options), so a pattern means what it meant to
// the original PCRE matcher: "." is one byte, classes hold bytes. The match
// is unanchored and bounded (kRegexMatchLimit backtracking steps, a heap
// limit), so a catastrophic pattern ends as a matching error, not a hang.
#pragma once

#include <cstdint>
#include <string>

namespace XMLUpdater::v2::NSRegEx {

inline constexpr std::uint32_t kRegexMatchLimit = 1000000;
inline constexpr std::uint32_t kRegexHeapLimitKiB = 16 * 1024;

// True on a match; false on no match, a pattern that does not compile or a
// matching error (each logged).
bool DoesMatch(const std::wstring& text, const std::wstring& pattern);

}  // namespace XMLUpdater::v2::NSRegEx
