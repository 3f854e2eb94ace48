// Builds and checks a signer's certificate chain.
#pragma once

#include <ctime>
#include <string_view>

#include <openssl/x509.h>

#include "platform/system/codesign/signature_report.h"

namespace rk::sys::codesign {

struct ChainRequest {
    X509* leaf = nullptr;
    STACK_OF(X509) * untrusted = nullptr;  // the message's certificates (extra store)
    std::time_t at = 0;                    // validity is checked at this time
    std::string_view usage;                // extended key usage the leaf must carry
    // Self-signed certificates found in the message become candidate roots
    // only when pinned. Timestamp chains set this: otherwise a signature
    // could bring its own authority and claim any signing time.
    bool message_roots_need_pin = false;
    // A certificate of the chain that has expired at `at` is reported in
    // ChainInfo::expired instead of failing the chain (the Authenticode
    // rule for signing chains). Every other error still fails it.
    bool tolerate_expired = false;
};

// Candidate roots: the policy's anchor certificates, the system store when
// the policy allows it, and the message's self-signed certificates. The chain
// counts as built when OpenSSL verifies it to one of them at `at`; whether
// that root is pinned is reported separately. Depth is capped, so cyclic or
// endless issuer loops end with an error.
ChainInfo build_chain(const ChainRequest& request, const TrustPolicy& policy);

bool is_pinned(const Sha1Thumbprint& thumbprint, const TrustPolicy& policy);

}  // namespace rk::sys::codesign
