// What the code-signature check found in a file and what it decided: the
// signers in order, their certificates, timestamps and chains. The content
// trust validator classifies files from this, the operator tool prints it.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "platform/system/codesign/signed_layout.h"

namespace rk::sys::codesign {

using Sha1Thumbprint = std::array<std::uint8_t, 20>;
using Sha256Hash = std::array<std::uint8_t, 32>;

struct CertificateInfo {
    std::wstring display_name;  // simple display name: the subject common name
    std::wstring subject;       // one-line distinguished names
    std::wstring issuer;
    std::string serial_hex;
    Sha1Thumbprint sha1{};
    Sha256Hash sha256{};
    std::string signature_algorithm;  // dotted OID of the issuer's signature
    std::time_t not_before = 0;
    std::time_t not_after = 0;
    bool self_signed = false;
    std::vector<std::uint8_t> der;
};

struct ChainInfo {
    bool built = false;          // reached a self-signed root and verified at `evaluated_at`
    bool root_pinned = false;    // the root's SHA-1 thumbprint is one of the pinned ones
    bool ecdsa = false;          // some certificate of the chain is ECDSA-signed
    bool usage_ok = false;       // the extended key usage allows the purpose
    bool expired = false;        // built although a certificate had expired at `evaluated_at`
    std::time_t evaluated_at = 0;
    std::vector<CertificateInfo> certificates;  // leaf first
    std::string error;           // empty when built and usable
};

enum class TimestampKind {
    kPkcs9Countersignature,  // 1.2.840.113549.1.9.6
    kRfc3161,                // 1.3.6.1.4.1.311.3.3.1
};

struct TimestampInfo {
    TimestampKind kind = TimestampKind::kRfc3161;
    std::optional<std::time_t> time;       // signing time it states
    bool verified = false;                 // signature, imprint and chain all good
    std::optional<CertificateInfo> signer;  // the timestamping authority
    ChainInfo chain;
    std::string error;
};

struct SignatureInfo;

struct SignerReport {
    std::optional<CertificateInfo> certificate;  // found by issuer and serial number
    std::string digest_algorithm;                // "sha256", ...
    bool name_accepted = false;
    bool signature_valid = false;   // the signer's signature over its attributes (or the content)
    std::string signature_error;    // why not
    std::optional<std::time_t> claimed_signing_time;  // 1.2.840.113549.1.9.5 among the signed attributes
    std::vector<TimestampInfo> timestamps;            // countersignatures, in order
    std::optional<std::time_t> signing_time;          // from the first verified timestamp
    ChainInfo chain;
    bool accepted = false;
    std::string failure;                // the first step that failed
    std::vector<SignatureInfo> nested;  // 1.3.6.1.4.1.311.2.4.1
};

// One PKCS #7 SignedData.
struct SignatureInfo {
    std::string digest_algorithm;  // of the content digest (Authenticode), empty for appended
    // The file's hash equals the signed digest (appended signatures: true,
    // their signers' own message digests cover the content).
    bool digest_matches = false;
    std::string error;             // why the message could not be examined
    std::vector<SignerReport> signers;
};

struct SignatureReport {
    SignatureKind kind = SignatureKind::kUnknown;
    LayoutStatus layout = LayoutStatus::kUnsigned;
    std::string error;                       // file or container error
    std::optional<SignatureInfo> signature;  // the outer signature, when one was decoded
    bool accepted = false;
    bool ecdsa_in_chain = false;  // a chain examined for an accepted name was ECDSA-signed
};

// Which chain engine a pass uses. Both build the same chain on this platform
// (the message's certificates as extra store, anchors as below); the value
// keeps the documented two-pass structure of the caller.
enum class ChainEngine { kCurrentUser, kMachine };

struct TrustPolicy {
    std::vector<std::wstring> publisher_names;   // exact, case-sensitive
    std::vector<Sha1Thumbprint> pinned_roots;
    // Candidate root certificates besides the self-signed ones the signature
    // carries (DER). Being a candidate confers no trust: only a pin does.
    std::vector<std::vector<std::uint8_t>> anchor_certificates;
    // Also take candidate roots from the system store (timestamping
    // authorities usually chain to public roots).
    bool use_system_roots = true;
    ChainEngine engine = ChainEngine::kCurrentUser;
    // "Now" for signatures without a verified timestamp; unset: the clock.
    std::optional<std::time_t> now;
};

}  // namespace rk::sys::codesign
