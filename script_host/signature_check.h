// Signed scripts: the script text, a line break and one signature line at
// the very end, in one of two forms:
//   script form: CR LF "//"   hex(signature) "++"
//   markup form: CR LF "<!--" hex(signature) "-->"   (texts ending in "-->")
// The signed bytes are everything before that line break. Hex digits are
// read in pairs, either case. The line break is always counted as two bytes
// and the line's opening and closing are located by length, not compared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace SignatureCheck {

inline constexpr char kScriptLineOpening[] = "\r\n//";
inline constexpr char kScriptLineClosing[] = "++";
inline constexpr char kMarkupLineOpening[] = "\r\n<!--";
inline constexpr char kMarkupLineClosing[] = "-->";

inline constexpr wchar_t kMsgInitFailed[] = L"Unable to initalize signature algorithm";
inline constexpr wchar_t kMsgParseFailed[] = L"Failed to parse the signature info buffer";
inline constexpr wchar_t kMsgSetKeyFailed[] = L"Failed to set the public key";
inline constexpr wchar_t kMsgAddDataFailed[] = L"Failed to add data buffer";
inline constexpr wchar_t kMsgHexFailed[] = L"Unable to convert hex string into binary";
inline constexpr wchar_t kMsgVerifyFailed[] = L"Signature Verification failed";

// Verifies with the product's script key from the deployment profile. Script
// text is passed in the thread's ANSI code page, which is UTF-8 on Linux.
bool VerifySignature(const std::uint8_t* bytes, std::size_t length);

// The same check with another public key (X || Y); for the signing tool.
bool VerifySignatureWithKey(const std::uint8_t* bytes, std::size_t length, std::span<const std::uint8_t> public_key);

}  // namespace SignatureCheck
