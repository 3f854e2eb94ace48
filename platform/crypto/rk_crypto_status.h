// Result codes of RkCryptoLib. Success is 0; failures are the NTSTATUS values
// that CNG reports for the same condition (so callers written against the
// Windows library keep their meaning) or the library's own three codes.
#pragma once

#include <cstdint>

#include "platform/errors/win_error.h"

namespace RkCryptoLib {

using rk::NTSTATUS;

constexpr NTSTATUS MakeStatus(std::uint32_t value) { return static_cast<NTSTATUS>(value); }

inline constexpr NTSTATUS STATUS_SUCCESS = 0;
inline constexpr NTSTATUS STATUS_UNSUCCESSFUL = MakeStatus(0xC0000001);
inline constexpr NTSTATUS STATUS_NOT_IMPLEMENTED = MakeStatus(0xC0000002);
inline constexpr NTSTATUS STATUS_INVALID_HANDLE = MakeStatus(0xC0000008);
inline constexpr NTSTATUS STATUS_INVALID_PARAMETER = MakeStatus(0xC000000D);
inline constexpr NTSTATUS STATUS_NO_MEMORY = MakeStatus(0xC0000017);
inline constexpr NTSTATUS STATUS_BUFFER_TOO_SMALL = MakeStatus(0xC0000023);
inline constexpr NTSTATUS STATUS_DATA_ERROR = MakeStatus(0xC000003E);
inline constexpr NTSTATUS STATUS_NOT_SUPPORTED = MakeStatus(0xC00000BB);
// ntstatus.h has no plain "invalid state"; CNG callers see the device-state
// code for an object used in the wrong state.
inline constexpr NTSTATUS STATUS_INVALID_STATE = MakeStatus(0xC0000184);
inline constexpr NTSTATUS STATUS_INVALID_BUFFER_SIZE = MakeStatus(0xC0000206);
inline constexpr NTSTATUS STATUS_NOT_FOUND = MakeStatus(0xC0000225);
inline constexpr NTSTATUS STATUS_INVALID_SIGNATURE = MakeStatus(0xC000A000);
inline constexpr NTSTATUS STATUS_HMAC_NOT_SUPPORTED = MakeStatus(0xC000A001);
inline constexpr NTSTATUS STATUS_AUTH_TAG_MISMATCH = MakeStatus(0xC000A002);

// The library's own codes.
inline constexpr NTSTATUS RKCRYPTO_E_INVALID_ARG = MakeStatus(0x8000000A);
inline constexpr NTSTATUS RKCRYPTO_E_OUT_OF_MEMORY = MakeStatus(0x8000000B);
inline constexpr NTSTATUS RKCRYPTO_E_NOT_INITIALIZED = MakeStatus(0x8000000D);

inline constexpr bool RK_SUCCESS(NTSTATUS status) { return status == STATUS_SUCCESS; }

}  // namespace RkCryptoLib
