#include "platform/system/codesign/signer_check.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <openssl/rsa.h>

#include "platform/system/codesign/certificate_info.h"
#include "platform/system/codesign/chain_builder.h"
#include "platform/system/codesign/codesign_constants.h"
#include "platform/system/codesign/ossl_ptr.h"

namespace rk::sys::codesign {
namespace {

using Digest = std::vector<unsigned char>;

bool digest(const EVP_MD* md, std::span<const std::uint8_t> data, Digest& out) {
    out.resize(static_cast<std::size_t>(EVP_MD_get_size(md)));
    unsigned int len = 0;
    return EVP_Digest(data.data(), data.size(), out.data(), &len, md, nullptr) == 1 && len == out.size();
}

bool equal(const Digest& d, const ASN1_OCTET_STRING* s) {
    return s != nullptr && static_cast<std::size_t>(s->length) == d.size() &&
           std::memcmp(s->data, d.data(), d.size()) == 0;
}

std::span<const std::uint8_t> sequence_bytes(const ASN1_TYPE* t) {
    if (t == nullptr || t->type != V_ASN1_SEQUENCE || t->value.sequence == nullptr) {
        return {};
    }
    return {t->value.sequence->data, static_cast<std::size_t>(t->value.sequence->length)};
}

// The two certificate stores a countersigner may come from, as one view.
X509StackViewPtr joined(STACK_OF(X509) * a, STACK_OF(X509) * b) {
    X509StackViewPtr all(sk_X509_new_null());
    for (STACK_OF(X509)* s : {a, b}) {
        const int n = s ? std::min(sk_X509_num(s), static_cast<int>(kMaxCertificates)) : 0;
        for (int i = 0; all && i < n; ++i) {
            sk_X509_push(all.get(), sk_X509_value(s, i));
        }
    }
    return all;
}

void finish_timestamp(TimestampInfo& ts, X509* cert, STACK_OF(X509) * certs, const TrustPolicy& policy) {
    ts.signer = describe_certificate(cert);
    if (!ts.time) {
        ts.error = "no signing time";
        return;
    }
    ChainRequest req;
    req.leaf = cert;
    req.untrusted = certs;
    req.at = *ts.time;
    req.usage = oid::kTimeStamping;
    req.message_roots_need_pin = true;
    ts.chain = build_chain(req, policy);
    if (!ts.chain.built || !ts.chain.usage_ok) {
        ts.error = "timestamp chain: " + (ts.chain.error.empty() ? std::string("not trusted") : ts.chain.error);
        return;
    }
    ts.verified = true;
}

TimestampInfo check_pkcs9(const ASN1_TYPE* value, PKCS7_SIGNER_INFO* si, STACK_OF(X509) * certs,
                          const TrustPolicy& policy) {
    TimestampInfo ts;
    ts.kind = TimestampKind::kPkcs9Countersignature;
    const auto bytes = sequence_bytes(value);
    const unsigned char* p = bytes.data();
    SignerInfoPtr csi(bytes.empty() ? nullptr : d2i_PKCS7_SIGNER_INFO(nullptr, &p, static_cast<long>(bytes.size())));
    if (!csi) {
        ts.error = "countersignature is not a SignerInfo";
        return ts;
    }
    const ASN1_TYPE* when = PKCS7_get_signed_attribute(csi.get(), NID_pkcs9_signingTime);
    if (when && (when->type == V_ASN1_UTCTIME || when->type == V_ASN1_GENERALIZEDTIME)) {
        ts.time = asn1_time_to_epoch(when->value.utctime);
    }
    X509* cert = find_signer_certificate(csi.get(), certs);
    if (cert == nullptr) {
        ts.error = "countersigner certificate not found";
        return ts;
    }
    const auto* enc = si->enc_digest;
    if (!verify_signer_signature(csi.get(), cert, {enc->data, static_cast<std::size_t>(enc->length)}, {}, true,
                                 ts.error)) {
        ts.signer = describe_certificate(cert);
        return ts;
    }
    finish_timestamp(ts, cert, certs, policy);
    return ts;
}

TimestampInfo check_rfc3161(const ASN1_TYPE* value, PKCS7_SIGNER_INFO* si, STACK_OF(X509) * certs,
                            const TrustPolicy& policy) {
    TimestampInfo ts;
    ts.kind = TimestampKind::kRfc3161;
    const auto bytes = sequence_bytes(value);
    const unsigned char* p = bytes.data();
    Pkcs7Ptr token(bytes.empty() ? nullptr : d2i_PKCS7(nullptr, &p, static_cast<long>(bytes.size())));
    if (!token || !PKCS7_type_is_signed(token.get()) || token->d.sign == nullptr ||
        token->d.sign->contents == nullptr) {
        ts.error = "timestamp is not a SignedData";
        return ts;
    }
    PKCS7* contents = token->d.sign->contents;
    if (oid_text(contents->type) != oid::kTstInfo || contents->d.other == nullptr ||
        contents->d.other->type != V_ASN1_OCTET_STRING) {
        ts.error = "timestamp does not hold a TSTInfo";
        return ts;
    }
    const ASN1_OCTET_STRING* tst_der = contents->d.other->value.octet_string;
    const std::span<const std::uint8_t> tst_bytes(tst_der->data, static_cast<std::size_t>(tst_der->length));
    p = tst_bytes.data();
    TstInfoPtr tst(d2i_TS_TST_INFO(nullptr, &p, static_cast<long>(tst_bytes.size())));
    if (!tst) {
        ts.error = "TSTInfo does not decode";
        return ts;
    }
    ts.time = asn1_time_to_epoch(TS_TST_INFO_get_time(tst.get()));

    STACK_OF(PKCS7_SIGNER_INFO)* signers = PKCS7_get_signer_info(token.get());
    if (signers == nullptr || sk_PKCS7_SIGNER_INFO_num(signers) != 1) {
        ts.error = "timestamp must have exactly one signer";
        return ts;
    }
    PKCS7_SIGNER_INFO* tsi = sk_PKCS7_SIGNER_INFO_value(signers, 0);
    auto all = joined(token->d.sign->cert, certs);
    X509* cert = find_signer_certificate(tsi, all.get());
    if (cert == nullptr) {
        ts.error = "timestamp signer certificate not found";
        return ts;
    }
    if (!verify_signer_signature(tsi, cert, tst_bytes, oid::kTstInfo, true, ts.error)) {
        ts.signer = describe_certificate(cert);
        return ts;
    }
    // The imprint is the digest of the signature value it timestamps.
    TS_MSG_IMPRINT* imprint = TS_TST_INFO_get_msg_imprint(tst.get());
    const X509_ALGOR* alg = TS_MSG_IMPRINT_get_algo(imprint);
    const EVP_MD* md = alg ? accepted_digest(alg->algorithm) : nullptr;
    Digest expected;
    if (md == nullptr ||
        !digest(md, {si->enc_digest->data, static_cast<std::size_t>(si->enc_digest->length)}, expected) ||
        !equal(expected, TS_MSG_IMPRINT_get_msg(imprint))) {
        ts.signer = describe_certificate(cert);
        ts.error = "timestamp imprint does not match the signature";
        return ts;
    }
    finish_timestamp(ts, cert, all.get(), policy);
    return ts;
}

}  // namespace

const EVP_MD* accepted_digest(const ASN1_OBJECT* algorithm) {
    switch (OBJ_obj2nid(algorithm)) {
        case NID_sha1: return EVP_sha1();
        case NID_sha256: return EVP_sha256();
        case NID_sha384: return EVP_sha384();
        case NID_sha512: return EVP_sha512();
        default: return nullptr;
    }
}

X509* find_signer_certificate(PKCS7_SIGNER_INFO* si, STACK_OF(X509) * certs) {
    if (si == nullptr || si->issuer_and_serial == nullptr || certs == nullptr) {
        return nullptr;
    }
    return X509_find_by_issuer_and_serial(certs, si->issuer_and_serial->issuer, si->issuer_and_serial->serial);
}

bool verify_signer_signature(PKCS7_SIGNER_INFO* si, X509* cert, std::span<const std::uint8_t> content,
                             std::string_view content_type, bool attributes_required, std::string& error) {
    const EVP_MD* md = si->digest_alg ? accepted_digest(si->digest_alg->algorithm) : nullptr;
    if (md == nullptr) {
        error = "unsupported digest algorithm";
        return false;
    }
    if (si->enc_digest == nullptr) {
        error = "signer has no signature value";
        return false;
    }
    Digest content_digest;
    if (!digest(md, content, content_digest)) {
        error = "digest failed";
        return false;
    }
    Digest signed_digest;
    STACK_OF(X509_ATTRIBUTE)* attrs = si->auth_attr;
    if (attrs != nullptr && sk_X509_ATTRIBUTE_num(attrs) > 0) {
        if (!equal(content_digest, PKCS7_digest_from_attributes(attrs))) {
            error = "message digest attribute does not match the content";
            return false;
        }
        if (!content_type.empty()) {
            const ASN1_TYPE* type = PKCS7_get_signed_attribute(si, NID_pkcs9_contentType);
            if (type == nullptr || type->type != V_ASN1_OBJECT || oid_text(type->value.object) != content_type) {
                error = "content type attribute does not match the content";
                return false;
            }
        }
        unsigned char* der = nullptr;
        const int len = ASN1_item_i2d(reinterpret_cast<ASN1_VALUE*>(attrs), &der, ASN1_ITEM_rptr(PKCS7_ATTR_VERIFY));
        if (len <= 0) {
            error = "signed attributes do not encode";
            return false;
        }
        const bool ok = digest(md, {der, static_cast<std::size_t>(len)}, signed_digest);
        OPENSSL_free(der);
        if (!ok) {
            error = "digest failed";
            return false;
        }
    } else if (attributes_required) {
        error = "signer has no signed attributes";
        return false;
    } else {
        signed_digest = content_digest;
    }

    EVP_PKEY* key = X509_get0_pubkey(cert);
    EvpPkeyCtxPtr ctx(key ? EVP_PKEY_CTX_new(key, nullptr) : nullptr);
    if (!ctx || EVP_PKEY_verify_init(ctx.get()) != 1 || EVP_PKEY_CTX_set_signature_md(ctx.get(), md) != 1) {
        error = "unsupported signer key";
        return false;
    }
    if (EVP_PKEY_get_base_id(key) == EVP_PKEY_RSA && EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) {
        error = "unsupported signer key";
        return false;
    }
    if (EVP_PKEY_verify(ctx.get(), si->enc_digest->data, static_cast<std::size_t>(si->enc_digest->length),
                        signed_digest.data(), signed_digest.size()) != 1) {
        error = "signature does not verify";
        return false;
    }
    return true;
}

std::vector<TimestampInfo> check_timestamps(PKCS7_SIGNER_INFO* si, STACK_OF(X509) * message_certs,
                                            const TrustPolicy& policy) {
    std::vector<TimestampInfo> out;
    if (si == nullptr || si->enc_digest == nullptr) {
        return out;
    }
    // In attribute order, so the first timestamp is the one that counts.
    const int n = si->unauth_attr ? sk_X509_ATTRIBUTE_num(si->unauth_attr) : 0;
    for (int i = 0; i < n && out.size() < kMaxTimestampsPerSigner; ++i) {
        X509_ATTRIBUTE* a = sk_X509_ATTRIBUTE_value(si->unauth_attr, i);
        const std::string type = oid_text(X509_ATTRIBUTE_get0_object(a));
        const bool pkcs9 = type == oid::kCountersignature;
        if (!pkcs9 && type != oid::kRfc3161Timestamp) {
            continue;
        }
        const int count = X509_ATTRIBUTE_count(a);
        for (int j = 0; j < count && out.size() < kMaxTimestampsPerSigner; ++j) {
            const ASN1_TYPE* v = X509_ATTRIBUTE_get0_type(a, j);
            out.push_back(pkcs9 ? check_pkcs9(v, si, message_certs, policy)
                                : check_rfc3161(v, si, message_certs, policy));
        }
    }
    return out;
}

}  // namespace rk::sys::codesign
