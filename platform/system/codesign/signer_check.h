// Checks of one PKCS #7 SignerInfo: its signature and its countersignatures.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include <openssl/pkcs7.h>

#include "platform/system/codesign/signature_report.h"

namespace rk::sys::codesign {

// The digest algorithms accepted for content and signatures: SHA-1 (still
// used by older Authenticode signatures) and SHA-2. Null for anything else.
const EVP_MD* accepted_digest(const ASN1_OBJECT* algorithm);

// Verifies the signer's signature. With signed attributes, the
// messageDigest attribute must equal the digest of `content`, the
// contentType attribute must be `content_type` (unless empty), and the
// signature covers the DER of the attributes; without them (only when
// `attributes_required` is false) the signature covers the content digest.
bool verify_signer_signature(PKCS7_SIGNER_INFO* si, X509* cert, std::span<const std::uint8_t> content,
                             std::string_view content_type, bool attributes_required, std::string& error);

// The signer's certificate, found by issuer and serial number.
X509* find_signer_certificate(PKCS7_SIGNER_INFO* si, STACK_OF(X509) * certs);

// The countersignatures of `si` (PKCS #9 1.2.840.113549.1.9.6 and RFC 3161
// 1.3.6.1.4.1.311.3.3.1), each verified over si's signature value, with its
// authority's chain built for time stamping at the time it states.
std::vector<TimestampInfo> check_timestamps(PKCS7_SIGNER_INFO* si, STACK_OF(X509) * message_certs,
                                            const TrustPolicy& policy);

}  // namespace rk::sys::codesign
