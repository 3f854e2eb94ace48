// The Authenticode layout of PE32 and PE32+ images.
#pragma once

#include <cstdint>
#include <span>

#include "platform/system/codesign/signed_layout.h"

namespace rk::sys::codesign::pe {

inline constexpr std::uint16_t kMagicPe32 = 0x10B;
inline constexpr std::uint16_t kMagicPe32Plus = 0x20B;
inline constexpr std::uint16_t kWinCertRevision2 = 0x0200;
inline constexpr std::uint16_t kWinCertTypePkcsSignedData = 0x0002;
inline constexpr std::uint32_t kSecurityDirectoryIndex = 4;
inline constexpr std::uint32_t kMaxSections = 96;         // the loader's limit
inline constexpr std::uint32_t kMaxCertificateEntries = 16;

// True when the bytes start like a PE image ("MZ" whose e_lfanew points at
// "PE\0\0"); the layout is then decided by parse_layout alone.
bool looks_like_pe(std::span<const std::uint8_t> file);

// Offsets of the fields Authenticode leaves out of the image hash.
struct HeaderOffsets {
    std::uint64_t checksum = 0;            // 4 bytes
    std::uint64_t security_directory = 0;  // 8 bytes: file offset and size of the certificate table
};

// The certificate table (data directory 4, whose address is a file offset)
// must be the last thing in the file, hold exactly one WIN_CERTIFICATE of
// revision 2.0 and type PKCS_SIGNED_DATA, and that entry holds one DER blob
// followed by at most 7 zero bytes of padding. The hash covers every byte
// before the table except the checksum and the directory entry.
SignedLayout parse_layout(std::span<const std::uint8_t> file);

}  // namespace rk::sys::codesign::pe
