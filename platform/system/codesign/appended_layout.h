// Signatures appended in the layout Linux uses for signed kernel modules:
//
//   content | DER PKCS #7 SignedData (sig_len bytes) | info (12 bytes) | "~Module signature appended~\n"
//
// info: algo, hash, id_type, signer_len, key_id_len (one byte each), three
// bytes of padding, sig_len as a 32-bit big-endian number. For PKCS #7 the
// id_type is 2 and every other byte but sig_len is 0. The signature is a
// detached SignedData over the content.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/system/codesign/signed_layout.h"

namespace rk::sys::codesign::appended {

inline constexpr std::string_view kMarker = "~Module signature appended~\n";
inline constexpr std::size_t kInfoSize = 12;
inline constexpr std::uint8_t kIdTypePkcs7 = 2;

bool has_marker(std::span<const std::uint8_t> file);

// The 12-byte info block for a signature of `sig_len` bytes.
std::array<std::uint8_t, kInfoSize> make_info(std::uint32_t sig_len);

SignedLayout parse_layout(std::span<const std::uint8_t> file);

}  // namespace rk::sys::codesign::appended
