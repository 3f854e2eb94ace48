// The scrambled form of values kept by CObfuscatedRegKey and
// CObfuscatedIniReader (layout in docs/registry.md):
//   "RKS1" | nonce (4 bytes) | (tag (4, LE) | data) XOR keystream(nonce) | check (4, LE)
// The check is FNV-1a over nonce, tag and data, so a value that was not
// written by a scrambling store is recognised and refused. This hides values
// from casual reading; it is not encryption.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace DiraDoro::internal {

struct Unscrambled {
    std::uint32_t tag = 0;
    std::vector<std::uint8_t> data;
};

inline constexpr std::uint8_t kScrambleMagic[4] = {'R', 'K', 'S', '1'};
inline constexpr std::size_t kScrambleOverhead = 4 + 4 + 4 + 4;

std::vector<std::uint8_t> scramble(std::uint32_t tag, std::span<const std::uint8_t> data);
// Same, with a fixed nonce (tests and reproducible fixtures).
std::vector<std::uint8_t> scramble_with_nonce(std::uint32_t tag, std::span<const std::uint8_t> data,
                                              std::uint32_t nonce);
std::optional<Unscrambled> unscramble(std::span<const std::uint8_t> stored);

}  // namespace DiraDoro::internal
