// The Authenticode layout of signed cabinets.
#pragma once

#include <cstdint>
#include <span>

#include "platform/system/codesign/signed_layout.h"

namespace rk::sys::codesign::cab {

inline constexpr std::uint16_t kFlagPrevCabinet = 0x0001;
inline constexpr std::uint16_t kFlagNextCabinet = 0x0002;
inline constexpr std::uint16_t kFlagReservePresent = 0x0004;
// A signed cabinet's header reserve is 20 bytes: a 4-byte marker, then the
// file offset and length of the signature, then 12 further bytes.
inline constexpr std::uint16_t kSignedReserveSize = 20;
inline constexpr std::uint32_t kSignedReserveMarker = 0x00100000;
inline constexpr std::uint32_t kMaxNameLength = 255;  // CB_MAX_CABINET_NAME - 1

bool looks_like_cab(std::span<const std::uint8_t> file);

// The signature sits after the cabinet data and ends the file. The hash
// covers the header without reserved1, iCabinet, the reserve sizes and the
// first 16 reserve bytes, then the optional set names, the CFFOLDER entries
// (which must end where the CFFILE entries start) and everything up to the
// signature.
SignedLayout parse_layout(std::span<const std::uint8_t> file);

}  // namespace rk::sys::codesign::cab
