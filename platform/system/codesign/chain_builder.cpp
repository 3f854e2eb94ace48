#include "platform/system/codesign/chain_builder.h"

#include <algorithm>

#include <openssl/x509v3.h>

#include "platform/system/codesign/certificate_info.h"
#include "platform/system/codesign/codesign_constants.h"
#include "platform/system/codesign/ossl_ptr.h"

namespace rk::sys::codesign {
namespace {

// True when the certificate's extended key usage names `usage` (or, for CA
// certificates, anyExtendedKeyUsage). `required`: the extension must exist.
bool usage_allows(X509* cert, std::string_view usage, bool required, bool any_ok) {
    int crit = 0;
    auto* eku = static_cast<EXTENDED_KEY_USAGE*>(X509_get_ext_d2i(cert, NID_ext_key_usage, &crit, nullptr));
    if (eku == nullptr) {
        return !required && crit == -1;  // absent (not malformed): no restriction
    }
    bool found = false;
    for (int i = 0; i < sk_ASN1_OBJECT_num(eku); ++i) {
        const std::string text = oid_text(sk_ASN1_OBJECT_value(eku, i));
        if (text == usage || (any_ok && text == oid::kAnyExtendedKeyUsage)) {
            found = true;
        }
    }
    EXTENDED_KEY_USAGE_free(eku);
    return found;
}

// The system's root bundle, parsed once per process: chains are built for
// every signer and timestamp, and re-reading the bundle each time would
// dominate the check.
STACK_OF(X509) * system_roots() {
    static STACK_OF(X509)* roots = [] {
        X509StorePtr store(X509_STORE_new());
        if (!store || X509_STORE_set_default_paths(store.get()) != 1) {
            return sk_X509_new_null();
        }
        STACK_OF(X509)* all = X509_STORE_get1_all_certs(store.get());
        return all ? all : sk_X509_new_null();
    }();
    return roots;
}

// Lets an expired certificate pass and records that it did; every other
// verdict of OpenSSL stands.
int tolerate_expired_cb(int ok, X509_STORE_CTX* ctx) {
    if (ok == 0 && X509_STORE_CTX_get_error(ctx) == X509_V_ERR_CERT_HAS_EXPIRED) {
        *static_cast<bool*>(X509_STORE_CTX_get_app_data(ctx)) = true;
        X509_STORE_CTX_set_error(ctx, X509_V_OK);
        return 1;
    }
    return ok;
}

bool ecdsa_signed(const CertificateInfo& cert) {
    return std::any_of(oid::kEcdsaSignatureAlgorithms.begin(), oid::kEcdsaSignatureAlgorithms.end(),
                       [&](std::string_view ec) { return cert.signature_algorithm.find(ec) != std::string::npos; });
}

}  // namespace

bool is_pinned(const Sha1Thumbprint& thumbprint, const TrustPolicy& policy) {
    return std::find(policy.pinned_roots.begin(), policy.pinned_roots.end(), thumbprint) != policy.pinned_roots.end();
}

namespace {

// One chain-building attempt; `with_system_roots` adds the system store's
// roots to the candidates.
ChainInfo attempt_chain(const ChainRequest& request, const TrustPolicy& policy, bool with_system_roots) {
    ChainInfo info;
    info.evaluated_at = request.at;
    X509StorePtr store(X509_STORE_new());
    X509StoreCtxPtr ctx(X509_STORE_CTX_new());
    if (!store || !ctx || request.leaf == nullptr) {
        info.error = "out of memory";
        return info;
    }
    if (with_system_roots) {
        STACK_OF(X509)* roots = system_roots();
        for (int i = 0; roots && i < sk_X509_num(roots); ++i) {
            X509_STORE_add_cert(store.get(), sk_X509_value(roots, i));
        }
    }
    for (const auto& der : policy.anchor_certificates) {
        const unsigned char* p = der.data();
        X509Ptr cert(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
        if (cert) {
            X509_STORE_add_cert(store.get(), cert.get());
        }
    }
    const int n = request.untrusted ? sk_X509_num(request.untrusted) : 0;
    for (int i = 0; i < n; ++i) {
        X509* c = sk_X509_value(request.untrusted, i);
        if (!(X509_get_extension_flags(c) & EXFLAG_SS)) {
            continue;
        }
        if (request.message_roots_need_pin) {
            Sha1Thumbprint sha1{};
            unsigned int len = 0;
            X509_digest(c, EVP_sha1(), sha1.data(), &len);
            if (!is_pinned(sha1, policy)) {
                continue;
            }
        }
        X509_STORE_add_cert(store.get(), c);
    }
    if (X509_STORE_CTX_init(ctx.get(), store.get(), request.leaf, request.untrusted) != 1) {
        info.error = "cannot set up chain building";
        return info;
    }
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(ctx.get());
    X509_VERIFY_PARAM_set_time(param, request.at);
    X509_VERIFY_PARAM_set_depth(param, kMaxChainDepth);
    bool expired = false;
    if (request.tolerate_expired) {
        X509_STORE_CTX_set_app_data(ctx.get(), &expired);
        X509_STORE_CTX_set_verify_cb(ctx.get(), tolerate_expired_cb);
    }
    const bool verified = X509_verify_cert(ctx.get()) == 1;
    if (!verified) {
        info.error = X509_verify_cert_error_string(X509_STORE_CTX_get_error(ctx.get()));
    }
    X509StackPtr chain(X509_STORE_CTX_get1_chain(ctx.get()));
    const int len = chain ? sk_X509_num(chain.get()) : 0;
    bool usage_ok = len > 0;
    for (int i = 0; i < len; ++i) {
        X509* c = sk_X509_value(chain.get(), i);
        info.certificates.push_back(describe_certificate(c));
        usage_ok = usage_ok && usage_allows(c, request.usage, i == 0, i != 0);
        info.ecdsa = info.ecdsa || ecdsa_signed(info.certificates.back());
    }
    info.built = verified && len > 0 && info.certificates.back().self_signed;
    info.expired = info.built && expired;
    info.usage_ok = usage_ok;
    info.root_pinned = info.built && is_pinned(info.certificates.back().sha1, policy);
    if (verified && !usage_ok) {
        info.error = "certificate not valid for the required usage";
    }
    return info;
}

}  // namespace

ChainInfo build_chain(const ChainRequest& request, const TrustPolicy& policy) {
    // The system's roots are read (about 100 ms, once per process) only when
    // the chain cannot be built without them: signatures of the maker chain
    // to anchors or to roots they carry, which must be pinned anyway.
    ChainInfo info = attempt_chain(request, policy, false);
    if (!info.built && policy.use_system_roots) {
        info = attempt_chain(request, policy, true);
    }
    return info;
}

}  // namespace rk::sys::codesign
