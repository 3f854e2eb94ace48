// Classification flags from what the code-signature check found: an intact
// embedded signature (1), a signer chain that builds to a pinned root (4), and for
// every certificate of a signer's chain whose hash is in the trusted list,
// 8 (the maker's), 16 (Microsoft's) or 32 (WHQL).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/system/codesign/signature_report.h"
#include "trust/trust_content.h"

namespace rk::trust {

// One chain certificate found in the trusted list.
struct CertificateHit {
    std::size_t index = 0;  // 1-based position in the signer's chain
    std::size_t count = 0;  // certificates in that chain
    std::wstring name;      // the certificate's display name
    CertificateType type = CertificateType::kMaker;
    std::uint64_t flags = 0;  // the flags after this certificate
};

class SignatureClassifier {
public:
    explicit SignatureClassifier(const TrustContent& content) : content_(content) {}

    // Only signers whose signature verifies over an intact file count
    // (nested signatures included). `on_hit` is told each listed certificate.
    std::uint64_t classify(const sys::codesign::SignatureReport& report,
                           const std::function<void(const CertificateHit&)>& on_hit = {}) const;

private:
    std::uint64_t classify_signature(const sys::codesign::SignatureInfo& info, std::uint64_t flags,
                                     const std::function<void(const CertificateHit&)>& on_hit) const;
    const TrustedCertificate* listed(const sys::codesign::CertificateInfo& cert) const;

    const TrustContent& content_;
};

}  // namespace rk::trust
