// Paths of the signed fixtures and the policies the tests verify them with.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/system/codesign/signature_report.h"
#include "profile/profile_data.h"

namespace rk::sys::codesign::test {

inline std::filesystem::path testdata_dir() { return RK_CODESIGN_TESTDATA; }
inline std::filesystem::path fixture(const std::string& name) { return testdata_dir() / "fixtures" / name; }

inline std::vector<std::uint8_t> read_bytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_bytes(const std::filesystem::path& p, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// 2026-01-01T00:00:00Z: after the expired leaf's validity, inside everything else.
inline constexpr std::time_t kNow = 1767225600;
// The fixtures' timestamps: 2024-06-01T00:00:00Z.
inline constexpr std::time_t kTimestamp = 1717200000;

// The development profile: publisher "Corvane Development" under the pinned
// development root.
inline TrustPolicy profile_policy() {
    TrustPolicy p;
    p.publisher_names.assign(profile::kPublisherNames.begin(), profile::kPublisherNames.end());
    p.pinned_roots.assign(profile::kPinnedRootSha1.begin(), profile::kPinnedRootSha1.end());
    p.use_system_roots = false;
    p.now = kNow;
    return p;
}

}  // namespace rk::sys::codesign::test
