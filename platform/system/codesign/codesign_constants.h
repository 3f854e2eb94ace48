// Object identifiers and resource limits of the code-signature check.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace rk::sys::codesign {

namespace oid {
inline constexpr std::string_view kSpcIndirectData = "1.3.6.1.4.1.311.2.1.4";
inline constexpr std::string_view kSpcPeImageData = "1.3.6.1.4.1.311.2.1.15";
inline constexpr std::string_view kSpcCabData = "1.3.6.1.4.1.311.2.1.25";
inline constexpr std::string_view kNestedSignature = "1.3.6.1.4.1.311.2.4.1";
inline constexpr std::string_view kRfc3161Timestamp = "1.3.6.1.4.1.311.3.3.1";
inline constexpr std::string_view kCountersignature = "1.2.840.113549.1.9.6";
inline constexpr std::string_view kSigningTime = "1.2.840.113549.1.9.5";
inline constexpr std::string_view kPkcs7Data = "1.2.840.113549.1.7.1";
inline constexpr std::string_view kTstInfo = "1.2.840.113549.1.9.16.1.4";
inline constexpr std::string_view kCodeSigning = "1.3.6.1.5.5.7.3.3";
inline constexpr std::string_view kTimeStamping = "1.3.6.1.5.5.7.3.8";
inline constexpr std::string_view kAnyExtendedKeyUsage = "2.5.29.37.0";
// Signature algorithms that mark a chain as elliptic-curve; matched as
// substrings of a certificate's signature algorithm identifier.
inline constexpr std::array<std::string_view, 5> kEcdsaSignatureAlgorithms = {
    "1.2.840.10045.4.1", "1.2.840.10045.4.3.2", "1.2.840.10045.4.3.3", "1.2.840.10045.4.3.4", "1.2.840.10045.4.3"};
}  // namespace oid

// Bounds on what a hostile signature can make us do.
inline constexpr std::size_t kMaxSigners = 8;             // per SignedData
inline constexpr std::size_t kMaxCertificates = 64;       // per SignedData
inline constexpr std::size_t kMaxNestingDepth = 3;        // nested signatures inside nested ones
inline constexpr std::size_t kMaxNestedPerSigner = 8;
inline constexpr std::size_t kMaxSignaturesPerFile = 32;  // outer and nested SignedData together
inline constexpr std::size_t kMaxTimestampsPerSigner = 4;
inline constexpr int kMaxChainDepth = 10;

}  // namespace rk::sys::codesign
