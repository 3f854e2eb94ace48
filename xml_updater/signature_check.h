// Signed update documents: the document bytes are followed by a trailer
//   opening (6 bytes when the buffer ends with "-->", else 4; not read)
//   signature: 128 hex digits of r || s (P-256, 32 bytes each, big-endian)
//   closing (3 bytes when the buffer ends with "-->", else 2; not read)
// Only the N bytes before the trailer are hashed (SHA-256) and parsed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace NSignatureCheck {

inline constexpr char kXmlTrailerOpening[] = "\r\n<!--";  // what the signer writes
inline constexpr char kXmlTrailerClosing[] = "-->";
inline constexpr char kPlainTrailerOpening[] = "\r\n//";
inline constexpr char kPlainTrailerClosing[] = "++";
inline constexpr std::size_t kSignatureDigits = 128;

inline constexpr wchar_t kMsgHexFailed[] = L"Unable to convert hex string into binary";
inline constexpr wchar_t kMsgVerifyFailed[] = L"File Signature Verification failed";

// With the document key of the deployment profile. On success
// `signed_length` is N; on failure it is left alone.
bool ForceVerifySignature(const std::uint8_t* buffer, std::size_t length, std::size_t& signed_length);

// The same check with another public key (X || Y); for the signing tool.
bool VerifySignatureWithKey(const std::uint8_t* buffer, std::size_t length, std::span<const std::uint8_t> public_key,
                            std::size_t& signed_length);

}  // namespace NSignatureCheck
