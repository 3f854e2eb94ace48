// The version resource of a PE image (GetFileVersionInfoW + VerQueryValueW
// of the root block), read from the file's bytes on any platform.
#pragma once

#include <cstdint>
#include <span>

namespace rk::sys {

// Where reading stopped, matching the steps of the Windows calls:
enum class VersionInfoStatus {
    Ok,
    NoVersionInfo,   // not a PE image, or no RT_VERSION resource (GetFileVersionInfoSize)
    DataUnreadable,  // the resource's data lies outside the file (GetFileVersionInfo)
    QueryFailed,     // the VS_VERSIONINFO block is malformed (VerQueryValue)
    EmptyRootBlock,  // the root block carries no VS_FIXEDFILEINFO
};

struct FixedFileVersion {
    std::uint32_t file_version_ms = 0;
    std::uint32_t file_version_ls = 0;
};

// RT_VERSION is resource type 16; the block is found as FindResource does
// for name 1 (VS_VERSION_INFO), or the first name when there is no 1, and
// the first language under it. Every offset is checked against the bytes.
VersionInfoStatus read_file_version(std::span<const std::uint8_t> image, FixedFileVersion& version);

}  // namespace rk::sys
