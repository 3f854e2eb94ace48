// Classification flags of a file's signatures and their printed tags.
#pragma once

#include <cstdint>
#include <string>

namespace rk::trust {

namespace flag {
inline constexpr std::uint64_t kEmbeddedSigned = 1;
inline constexpr std::uint64_t kCatalogSigned = 2;
inline constexpr std::uint64_t kChained = 4;
inline constexpr std::uint64_t kIsCorvane = 8;
inline constexpr std::uint64_t kIsMicrosoft = 16;
inline constexpr std::uint64_t kIsWhql = 32;
inline constexpr std::uint64_t kHashWhitelisted = 64;
inline constexpr std::uint64_t kHashBlacklisted = 128;
}  // namespace flag

// Request flags of validate_file.
namespace request {
inline constexpr std::uint32_t kEmbedded = 0x01;
inline constexpr std::uint32_t kCatalog = 0x02;
inline constexpr std::uint32_t kReportToCache = 0x20;
inline constexpr std::uint32_t kJournalIdentity = 0x80;
}  // namespace request

// The tags of the set bits in bit order ("[embedded_signed][chained]...").
std::string flag_tags(std::uint64_t flags);

}  // namespace rk::trust
