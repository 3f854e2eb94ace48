// Owning smart pointers for the OpenSSL objects the code-signature check uses.
#pragma once

#include <memory>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/ts.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

namespace rk::sys::codesign {

template <typename T, void (*Free)(T*)>
struct OsslDeleter {
    void operator()(T* p) const { Free(p); }
};

inline void free_x509_stack(STACK_OF(X509) * s) { sk_X509_pop_free(s, X509_free); }
inline void free_x509_stack_shallow(STACK_OF(X509) * s) { sk_X509_free(s); }

using Pkcs7Ptr = std::unique_ptr<PKCS7, OsslDeleter<PKCS7, PKCS7_free>>;
using SignerInfoPtr = std::unique_ptr<PKCS7_SIGNER_INFO, OsslDeleter<PKCS7_SIGNER_INFO, PKCS7_SIGNER_INFO_free>>;
using X509Ptr = std::unique_ptr<X509, OsslDeleter<X509, X509_free>>;
using X509StackPtr = std::unique_ptr<STACK_OF(X509), OsslDeleter<STACK_OF(X509), free_x509_stack>>;
using X509StackViewPtr = std::unique_ptr<STACK_OF(X509), OsslDeleter<STACK_OF(X509), free_x509_stack_shallow>>;
using X509StorePtr = std::unique_ptr<X509_STORE, OsslDeleter<X509_STORE, X509_STORE_free>>;
using X509StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, OsslDeleter<X509_STORE_CTX, X509_STORE_CTX_free>>;
using EvpMdCtxPtr = std::unique_ptr<EVP_MD_CTX, OsslDeleter<EVP_MD_CTX, EVP_MD_CTX_free>>;
using EvpPkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, OsslDeleter<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, OsslDeleter<EVP_PKEY, EVP_PKEY_free>>;
using TstInfoPtr = std::unique_ptr<TS_TST_INFO, OsslDeleter<TS_TST_INFO, TS_TST_INFO_free>>;
using BioPtr = std::unique_ptr<BIO, OsslDeleter<BIO, BIO_free_all>>;

}  // namespace rk::sys::codesign
