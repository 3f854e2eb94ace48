#include "platform/system/codesign/signature_verifier.h"

#include <algorithm>
#include <cstring>

#include "platform/system/codesign/certificate_info.h"
#include "platform/system/codesign/chain_builder.h"
#include "platform/system/codesign/codesign_constants.h"
#include "platform/system/codesign/der_reader.h"
#include "platform/system/codesign/ossl_ptr.h"
#include "platform/system/codesign/signer_check.h"

namespace rk::sys::codesign {
namespace {

std::span<const std::uint8_t> bytes_of(const ASN1_STRING* s) {
    return s ? std::span<const std::uint8_t>(s->data, static_cast<std::size_t>(s->length))
             : std::span<const std::uint8_t>();
}

std::string object_text(std::span<const std::uint8_t> der_oid) {
    const unsigned char* p = der_oid.data();
    ASN1_OBJECT* obj = d2i_ASN1_OBJECT(nullptr, &p, static_cast<long>(der_oid.size()));
    std::string out = oid_text(obj);
    ASN1_OBJECT_free(obj);
    return out;
}

// SpcIndirectDataContent ::= SEQUENCE { data SEQUENCE { type OID, value ANY OPTIONAL },
//                                        messageDigest SEQUENCE { AlgorithmIdentifier, OCTET STRING } }
struct IndirectData {
    std::string data_type;
    std::string digest_oid;
    std::span<const std::uint8_t> digest;
    std::span<const std::uint8_t> signed_bytes;  // contents octets: what messageDigest covers
};

std::optional<IndirectData> parse_indirect_data(std::span<const std::uint8_t> der) {
    const auto outer = read_der(der);
    if (!outer || outer->tag != der_tag::kSequence || outer->whole.size() != der.size()) {
        return std::nullopt;
    }
    DerCursor top(outer->contents);
    const auto data = top.next(der_tag::kSequence);
    const auto message_digest = top.next(der_tag::kSequence);
    if (!data || !message_digest) {
        return std::nullopt;
    }
    DerCursor data_fields(data->contents);
    const auto type = data_fields.next(der_tag::kOid);
    DerCursor digest_fields(message_digest->contents);
    const auto algorithm = digest_fields.next(der_tag::kSequence);
    const auto digest = digest_fields.next(der_tag::kOctetString);
    if (!type || !algorithm || !digest) {
        return std::nullopt;
    }
    DerCursor alg_fields(algorithm->contents);
    const auto alg_oid = alg_fields.next(der_tag::kOid);
    if (!alg_oid) {
        return std::nullopt;
    }
    IndirectData out;
    out.data_type = object_text(type->whole);
    out.digest_oid = object_text(alg_oid->whole);
    out.digest = digest->contents;
    out.signed_bytes = outer->contents;
    return out;
}

const EVP_MD* digest_by_oid(const std::string& dotted) {
    ASN1_OBJECT* obj = OBJ_txt2obj(dotted.c_str(), 1);
    const EVP_MD* md = obj ? accepted_digest(obj) : nullptr;
    ASN1_OBJECT_free(obj);
    return md;
}

}  // namespace

SignatureVerifier::SignatureVerifier(std::span<const std::uint8_t> file, const SignedLayout& layout,
                                     const TrustPolicy& policy, const File* source)
    : file_(file),
      source_(source),
      layout_(layout),
      policy_(policy),
      now_(policy.now.value_or(std::time(nullptr))) {}

bool SignatureVerifier::hash_range(EVP_MD_CTX* ctx, std::uint64_t offset, std::uint64_t length) {
    if (offset > file_.size() || length > file_.size() - offset) {
        return false;
    }
    if (source_ == nullptr) {
        return EVP_DigestUpdate(ctx, file_.data() + offset, length) == 1;
    }
    constexpr std::size_t kPiece = 256 * 1024;  // stays in the cache between read and hash
    std::vector<std::uint8_t> piece(static_cast<std::size_t>(std::min<std::uint64_t>(length, kPiece)));
    while (length > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length, piece.size()));
        std::size_t done = 0;
        if (source_->read_at(offset, piece.data(), want, done) != win::kErrorSuccess || done == 0 ||
            EVP_DigestUpdate(ctx, piece.data(), done) != 1) {
            return false;
        }
        offset += done;
        length -= done;
    }
    return true;
}

const std::vector<std::uint8_t>* SignatureVerifier::file_hash(const EVP_MD* md) {
    const int nid = EVP_MD_get_type(md);
    if (auto it = hashes_.find(nid); it != hashes_.end()) {
        return &it->second;
    }
    EvpMdCtxPtr ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1) {
        return nullptr;
    }
    for (const ByteRange& r : layout_.hashed) {
        if (!hash_range(ctx.get(), r.offset, r.length)) {
            return nullptr;
        }
    }
    std::vector<std::uint8_t> out(static_cast<std::size_t>(EVP_MD_get_size(md)));
    unsigned int len = 0;
    if (EVP_DigestFinal_ex(ctx.get(), out.data(), &len) != 1) {
        return nullptr;
    }
    return &(hashes_[nid] = std::move(out));
}

SignatureInfo SignatureVerifier::examine(PKCS7* p7, std::size_t depth) {
    SignatureInfo info;
    if (++examined_ > kMaxSignaturesPerFile) {
        info.error = "too many nested signatures";
        return info;
    }
    if (p7 == nullptr || !PKCS7_type_is_signed(p7) || p7->d.sign == nullptr || p7->d.sign->contents == nullptr) {
        info.error = "not a PKCS #7 SignedData";
        return info;
    }
    STACK_OF(X509)* certs = p7->d.sign->cert;
    STACK_OF(PKCS7_SIGNER_INFO)* signers = PKCS7_get_signer_info(p7);
    const int signer_count = signers ? sk_PKCS7_SIGNER_INFO_num(signers) : 0;
    if (signer_count <= 0) {
        info.error = "signature has no signers";
        return info;
    }
    if (static_cast<std::size_t>(signer_count) > kMaxSigners ||
        (certs && static_cast<std::size_t>(sk_X509_num(certs)) > kMaxCertificates)) {
        info.error = "signature has too many signers or certificates";
        return info;
    }

    PKCS7* contents = p7->d.sign->contents;
    const std::string content_type = oid_text(contents->type);
    std::span<const std::uint8_t> signed_content;
    if (layout_.kind == SignatureKind::kAppended) {
        if (content_type != oid::kPkcs7Data || contents->d.data != nullptr) {
            info.error = "appended signature must be detached over data";
            return info;
        }
        signed_content = file_.subspan(0, layout_.hashed.at(0).length);
        info.digest_matches = true;
    } else {
        if (content_type != oid::kSpcIndirectData || contents->d.other == nullptr ||
            contents->d.other->type != V_ASN1_SEQUENCE) {
            info.error = "signature does not hold Authenticode indirect data";
            return info;
        }
        const auto indirect = parse_indirect_data(bytes_of(contents->d.other->value.sequence));
        if (!indirect) {
            info.error = "Authenticode indirect data does not decode";
            return info;
        }
        const std::string_view expected_type =
            layout_.kind == SignatureKind::kCab ? oid::kSpcCabData : oid::kSpcPeImageData;
        if (indirect->data_type != expected_type) {
            info.error = "Authenticode indirect data is for another file type";
            return info;
        }
        const EVP_MD* md = digest_by_oid(indirect->digest_oid);
        if (md == nullptr) {
            info.error = "unsupported file digest algorithm " + indirect->digest_oid;
            return info;
        }
        info.digest_algorithm = EVP_MD_get0_name(md);
        const auto* hash = file_hash(md);
        info.digest_matches = hash != nullptr && hash->size() == indirect->digest.size() &&
                              std::equal(hash->begin(), hash->end(), indirect->digest.begin());
        signed_content = indirect->signed_bytes;
    }

    for (int i = 0; i < signer_count; ++i) {
        info.signers.push_back(examine_signer(sk_PKCS7_SIGNER_INFO_value(signers, i), certs, signed_content,
                                              content_type, depth));
    }
    return info;
}

SignerReport SignatureVerifier::examine_signer(PKCS7_SIGNER_INFO* si, STACK_OF(X509) * certs,
                                               std::span<const std::uint8_t> content, std::string_view content_type,
                                               std::size_t depth) {
    SignerReport r;
    if (si->digest_alg) {
        const EVP_MD* md = accepted_digest(si->digest_alg->algorithm);
        r.digest_algorithm = md ? EVP_MD_get0_name(md) : oid_text(si->digest_alg->algorithm);
    }
    const ASN1_TYPE* when = PKCS7_get_signed_attribute(si, NID_pkcs9_signingTime);
    if (when && (when->type == V_ASN1_UTCTIME || when->type == V_ASN1_GENERALIZEDTIME)) {
        r.claimed_signing_time = asn1_time_to_epoch(when->value.utctime);
    }
    X509* cert = find_signer_certificate(si, certs);
    if (cert != nullptr) {
        r.certificate = describe_certificate(cert);
        r.name_accepted = std::find(policy_.publisher_names.begin(), policy_.publisher_names.end(),
                                    r.certificate->display_name) != policy_.publisher_names.end();
        // Appended signatures may come without signed attributes (the Linux
        // module-signing form); Authenticode always has them.
        r.signature_valid = verify_signer_signature(si, cert, content, content_type,
                                                    layout_.kind != SignatureKind::kAppended, r.signature_error);
        r.timestamps = check_timestamps(si, certs, policy_);
        for (const auto& ts : r.timestamps) {
            if (ts.verified && ts.time) {
                r.signing_time = ts.time;
                break;
            }
        }
        ChainRequest req;
        req.leaf = cert;
        req.untrusted = certs;
        req.at = r.signing_time.value_or(now_);
        req.usage = oid::kCodeSigning;
        req.tolerate_expired = true;
        r.chain = build_chain(req, policy_);
    } else {
        r.signature_error = "signer certificate not found";
    }
    if (depth < kMaxNestingDepth) {
        for (const ASN1_TYPE* v : attribute_values(si->unauth_attr, oid::kNestedSignature, kMaxNestedPerSigner)) {
            if (v == nullptr || v->type != V_ASN1_SEQUENCE) {
                continue;
            }
            const auto der = bytes_of(v->value.sequence);
            const unsigned char* p = der.data();
            Pkcs7Ptr nested(d2i_PKCS7(nullptr, &p, static_cast<long>(der.size())));
            r.nested.push_back(examine(nested.get(), depth + 1));
        }
    }
    return r;
}

// Walks the signers in order as the documented check does: the first
// accepted signer (or nested signer of a failed one) ends the walk.
bool SignatureVerifier::decide(SignatureInfo& info, bool file_integrity, bool& ecdsa) {
    for (SignerReport& r : info.signers) {
        if (!r.certificate) {
            r.failure = "signer certificate not found";
        } else if (!r.name_accepted) {
            r.failure = "publisher name not accepted";
        } else {
            ecdsa = ecdsa || r.chain.ecdsa;
            if (!r.chain.built) {
                r.failure = "certificate chain: " + r.chain.error;
            } else if (!r.chain.root_pinned) {
                r.failure = "root certificate is not pinned";
            } else if (!r.chain.usage_ok) {
                r.failure = "certificate not valid for code signing";
            } else if (!r.signature_valid) {
                r.failure = r.signature_error;
            } else if (!info.digest_matches) {
                r.failure = "file hash does not match the signature";
            } else if (!file_integrity) {
                r.failure = "the file's primary signature does not verify";
            } else {
                r.accepted = true;
                return true;
            }
        }
        for (SignatureInfo& nested : r.nested) {
            if (decide(nested, file_integrity, ecdsa)) {
                return true;
            }
        }
    }
    return false;
}

SignatureReport SignatureVerifier::run() {
    SignatureReport report;
    report.kind = layout_.kind;
    report.layout = layout_.status;
    report.error = layout_.error;
    if (layout_.status != LayoutStatus::kSigned) {
        return report;
    }
    const unsigned char* p = layout_.signature.data();
    Pkcs7Ptr p7(d2i_PKCS7(nullptr, &p, static_cast<long>(layout_.signature.size())));
    if (!p7) {
        report.error = "signature does not decode as PKCS #7";
        return report;
    }
    report.signature = examine(p7.get(), 0);
    SignatureInfo& outer = *report.signature;
    if (!outer.error.empty()) {
        report.error = outer.error;
        return report;
    }
    // The generic Authenticode check of the file: the outer content digest
    // and the primary signer's signature. Appended signers each cover the
    // content themselves.
    const bool file_integrity = layout_.kind == SignatureKind::kAppended ||
                                (outer.digest_matches && outer.signers.front().signature_valid);
    report.accepted = decide(outer, file_integrity, report.ecdsa_in_chain);
    return report;
}

}  // namespace rk::sys::codesign
