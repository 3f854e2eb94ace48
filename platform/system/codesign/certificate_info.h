// Describing X.509 certificates and other small OpenSSL helpers shared by the
// signer and chain checks.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include <openssl/asn1.h>
#include <openssl/x509.h>

#include "platform/system/codesign/signature_report.h"

namespace rk::sys::codesign {

CertificateInfo describe_certificate(X509* cert);

// Dotted text of an object identifier ("" for null).
std::string oid_text(const ASN1_OBJECT* obj);

// UTCTime or GeneralizedTime as seconds since the epoch.
std::optional<std::time_t> asn1_time_to_epoch(const ASN1_TIME* t);

// "2024-06-01 00:00:00 UTC".
std::string format_utc(std::time_t t);

// Values of every attribute with `oid` in `attrs`, at most `limit`.
std::vector<const ASN1_TYPE*> attribute_values(const STACK_OF(X509_ATTRIBUTE) * attrs, std::string_view oid,
                                                std::size_t limit);

}  // namespace rk::sys::codesign
