#include "trust/signature_classifier.h"

#include <algorithm>

#include "platform/crypto/rk_crypto_hash.h"
#include "trust/classification.h"

namespace rk::trust {

namespace cs = sys::codesign;

namespace {

std::uint64_t type_flag(CertificateType type) {
    switch (type) {
        case CertificateType::kMaker: return flag::kIsCorvane;
        case CertificateType::kMicrosoft: return flag::kIsMicrosoft;
        case CertificateType::kWhql: return flag::kIsWhql;
    }
    return 0;
}

std::vector<std::uint8_t> sha384(const std::vector<std::uint8_t>& der) {
    RkCryptoLib::CRkCryptoHashWin hash;
    std::vector<std::uint8_t> out;
    if (hash.Initialize(RkCryptoLib::CRYPTO_HASH_ALG_ID::SHA384) != 0 ||
        hash.AddToHash(der.data(), der.size()) != 0 || hash.GetFinalHash(out) != 0) {
        out.clear();
    }
    return out;
}

}  // namespace

const TrustedCertificate* SignatureClassifier::listed(const cs::CertificateInfo& cert) const {
    std::vector<std::uint8_t> long_hash;  // computed on demand
    for (const auto& entry : content_.certs) {
        bool equal = false;
        if (entry.hash.size() == cert.sha1.size()) {
            equal = std::equal(entry.hash.begin(), entry.hash.end(), cert.sha1.begin());
        } else if (entry.hash.size() == cert.sha256.size()) {
            equal = std::equal(entry.hash.begin(), entry.hash.end(), cert.sha256.begin());
        } else if (entry.hash.size() == 48) {
            if (long_hash.empty()) {
                long_hash = sha384(cert.der);
            }
            equal = long_hash == entry.hash;
        }
        if (equal) {
            return &entry;
        }
    }
    return nullptr;
}

std::uint64_t SignatureClassifier::classify_signature(const cs::SignatureInfo& info, std::uint64_t flags,
                                                      const std::function<void(const CertificateHit&)>& on_hit) const {
    for (const auto& signer : info.signers) {
        if (signer.certificate && signer.signature_valid && info.digest_matches) {
            flags |= flag::kEmbeddedSigned;
            // Trusted: built to a root the deployment pins, not merely to a
            // self-signed certificate the signature brought along.
            if (signer.chain.built && signer.chain.root_pinned) {
                flags |= flag::kChained;
            }
            // The chain as built; a signer whose chain could not be built
            // still has its own certificate.
            std::vector<cs::CertificateInfo> chain = signer.chain.certificates;
            if (chain.empty()) {
                chain.push_back(*signer.certificate);
            }
            for (std::size_t i = 0; i < chain.size(); ++i) {
                if (const auto* entry = listed(chain[i])) {
                    flags |= type_flag(entry->type);
                    if (on_hit) {
                        on_hit({i + 1, chain.size(), chain[i].display_name, entry->type, flags});
                    }
                }
            }
        }
        for (const auto& nested : signer.nested) {
            flags = classify_signature(nested, flags, on_hit);
        }
    }
    return flags;
}

std::uint64_t SignatureClassifier::classify(const cs::SignatureReport& report,
                                            const std::function<void(const CertificateHit&)>& on_hit) const {
    if (!report.signature || !report.error.empty()) {
        return 0;
    }
    return classify_signature(*report.signature, 0, on_hit);
}

}  // namespace rk::trust
