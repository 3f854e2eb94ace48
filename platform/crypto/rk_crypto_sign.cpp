#include "platform/crypto/rk_crypto_sign.h"

#include <openssl/core_names.h>

#include <new>

#include "platform/crypto/rk_crypto_logger.h"

namespace RkCryptoLib {
namespace {

constexpr std::uint8_t kUncompressedPoint = 0x04;

void put_le32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

std::uint32_t get_le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

NTSTATUS CRkCryptoSignWin::Initialize(CRYPTO_SIGN_ALG_ID algorithm) {
    static constexpr char kFunction[] = "RkCryptoLib::CRkCryptoSignWin::Initialize";
    provider_.reset();
    DestroyKeys();
    traits_ = CreateSignTraits(algorithm);
    if (!traits_) {
        const auto args = rk::text::make_format_args(__FILE__, __LINE__, kFunction);
        CRkCryptoLogger::LogRawV(__FILE__, __LINE__, kFunction, L"[%S:(%d)][%S] Failed to create symmetric traits.",
                                 rk::text::FormatArgs(args.data(), args.size()));
        return STATUS_NOT_SUPPORTED;
    }
    provider_.reset(EVP_PKEY_CTX_new_from_name(nullptr, traits_->ProviderName(), nullptr));
    if (!provider_) {
        RKCRYPTO_LOG(STATUS_NOT_FOUND, L"Error trying to BCryptOpenAlgorithmProvider");
        traits_.reset();
        return STATUS_NOT_FOUND;
    }
    const NTSTATUS status = hash_.Initialize(traits_->HashAlgorithm());
    if (!RK_SUCCESS(status)) {
        provider_.reset();
        traits_.reset();
    }
    return status;
}

void CRkCryptoSignWin::DestroyKeys() {
    public_key_handle_.reset();
    private_key_handle_.reset();
    public_key_.clear();
    private_key_.clear();
}

NTSTATUS CRkCryptoSignWin::MakeWinKeyPairBlob(std::uint32_t magic, const std::uint8_t* key, std::size_t length,
                                              std::vector<std::uint8_t>& blob) const {
    static constexpr char kFunction[] = "RkCryptoLib::CRkCryptoSignWin::MakeWinKeyPairBlob";
    if (!traits_) {
        return RKCRYPTO_E_NOT_INITIALIZED;
    }
    std::size_t parts = 0;
    if (magic == traits_->PublicBlobMagic()) {
        parts = 2;
    } else if (magic == traits_->PrivateBlobMagic()) {
        parts = 3;
    } else {
        RKCRYPTO_LOG(STATUS_INVALID_PARAMETER, L"Invalid Blob Type (0x%04X) specified", magic);
        return STATUS_INVALID_PARAMETER;
    }
    const std::size_t coordinate = traits_->KeySize();
    if (key == nullptr || length != parts * coordinate) {
        return RKCRYPTO_E_INVALID_ARG;
    }
    blob.clear();
    blob.reserve(kBlobHeaderSize + length);
    put_le32(blob, magic);
    put_le32(blob, static_cast<std::uint32_t>(coordinate));
    blob.insert(blob.end(), key, key + length);
    return STATUS_SUCCESS;
}

NTSTATUS CRkCryptoSignWin::ExtractKeyData(const std::vector<std::uint8_t>& blob,
                                          std::vector<std::uint8_t>& key) const {
    static constexpr char kFunction[] = "RkCryptoLib::CRkCryptoSignWin::ExtractKeyData";
    if (!traits_) {
        return RKCRYPTO_E_NOT_INITIALIZED;
    }
    if (blob.size() < kBlobHeaderSize) {
        return RKCRYPTO_E_INVALID_ARG;
    }
    const std::uint32_t magic = get_le32(blob.data());
    std::size_t parts = 0;
    if (magic == traits_->PublicBlobMagic()) {
        parts = 2;
    } else if (magic == traits_->PrivateBlobMagic()) {
        parts = 3;
    } else {
        RKCRYPTO_LOG(STATUS_INVALID_PARAMETER, L"Invalid Blob Type (0x%04X) specified", magic);
        return STATUS_INVALID_PARAMETER;
    }
    const std::size_t coordinate = traits_->KeySize();
    if (get_le32(blob.data() + 4) != coordinate || blob.size() != kBlobHeaderSize + parts * coordinate) {
        return RKCRYPTO_E_INVALID_ARG;
    }
    key.assign(blob.begin() + kBlobHeaderSize, blob.end());
    return STATUS_SUCCESS;
}

NTSTATUS CRkCryptoSignWin::ImportBlob(const std::vector<std::uint8_t>& blob) {
    static constexpr char kFunction[] = "RkCryptoLib::CRkCryptoSignWin::ImportBlob";
    std::vector<std::uint8_t> raw;
    NTSTATUS status = ExtractKeyData(blob, raw);
    if (!RK_SUCCESS(status)) {
        return status;
    }
    const std::size_t coordinate = traits_->KeySize();
    const bool is_private = raw.size() == 3 * coordinate;

    std::vector<std::uint8_t> point;
    point.reserve(1 + 2 * coordinate);
    point.push_back(kUncompressedPoint);
    point.insert(point.end(), raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(2 * coordinate));

    ossl::ParamBld bld(OSSL_PARAM_BLD_new());
    ossl::Bignum priv;
    bool ok = bld && OSSL_PARAM_BLD_push_utf8_string(bld.get(), OSSL_PKEY_PARAM_GROUP_NAME, traits_->CurveName(), 0) &&
              OSSL_PARAM_BLD_push_octet_string(bld.get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size());
    if (ok && is_private) {
        priv.reset(BN_bin2bn(raw.data() + 2 * coordinate, static_cast<int>(coordinate), nullptr));
        ok = priv && OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_PRIV_KEY, priv.get());
    }
    ossl::Params params(ok ? OSSL_PARAM_BLD_to_param(bld.get()) : nullptr);
    EVP_PKEY* key = nullptr;
    if (!params || EVP_PKEY_fromdata_init(provider_.get()) != 1 ||
        EVP_PKEY_fromdata(provider_.get(), &key, is_private ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY,
                          params.get()) != 1) {
        RKCRYPTO_LOG(STATUS_INVALID_PARAMETER, L"Error trying to BCryptImportKeyPair");
        return STATUS_INVALID_PARAMETER;
    }
    ossl::PKey owned(key);
    if (is_private) {
        // A private key whose stated public point does not belong to d would
        // sign with one key and verify with another.
        ossl::PKeyCtx check(EVP_PKEY_CTX_new_from_pkey(nullptr, owned.get(), nullptr));
        if (!check || EVP_PKEY_pairwise_check(check.get()) != 1) {
            RKCRYPTO_LOG(STATUS_INVALID_PARAMETER, L"Error trying to BCryptImportKeyPair");
            return STATUS_INVALID_PARAMETER;
        }
        private_key_handle_ = std::move(owned);
        private_key_ = std::move(raw);
        public_key_.assign(private_key_.begin(), private_key_.begin() + static_cast<std::ptrdiff_t>(2 * coordinate));
        public_key_handle_.reset();
    } else {
        public_key_handle_ = std::move(owned);
        public_key_ = std::move(raw);
    }
    return STATUS_SUCCESS;
}

NTSTATUS CRkCryptoSignWin::ImportPublicKey(const std::uint8_t* key, std::size_t length) {
    if (!traits_) {
        return RKCRYPTO_E_NOT_INITIALIZED;
    }
    std::vector<std::uint8_t> blob;
    const NTSTATUS status = MakeWinKeyPairBlob(traits_->PublicBlobMagic(), key, length, blob);
    return RK_SUCCESS(status) ? ImportBlob(blob) : status;
}

NTSTATUS CRkCryptoSignWin::ImportPrivateKey(const std::uint8_t* key, std::size_t length) {
    if (!traits_) {
        return RKCRYPTO_E_NOT_INITIALIZED;
    }
    std::vector<std::uint8_t> blob;
    const NTSTATUS status = MakeWinKeyPairBlob(traits_->PrivateBlobMagic(), key, length, blob);
    return RK_SUCCESS(status) ? ImportBlob(blob) : status;
}

NTSTATUS CRkCryptoSignWin::AddData(const std::uint8_t* data, std::size_t length) {
    if (!traits_) {
        return RKCRYPTO_E_NOT_INITIALIZED;
    }
    return hash_.AddToHash(data, length);
}

NTSTATUS CRkCryptoSignWin::FinishDigest(std::vector<std::uint8_t>& digest, const char* function) {
    const NTSTATUS status = hash_.GetFinalHash(digest);
    if (!RK_SUCCESS(status)) {
        CRkCryptoLogger::Log(__FILE__, __LINE__, function, status, L"Could not get hash code from signature data");
    }
    return status;
}

NTSTATUS CRkCryptoSignWin::VerifySignature(const std::uint8_t* signature, std::size_t length) {
    static constexpr char kFunction[] = "RkCryptoLib::CRkCryptoSignWin::VerifySignature";
    if (!traits_) {
        return RKCRYPTO_E_NOT_INITIALIZED;
    }
    if (signature == nullptr || length != traits_->SignatureSize()) {
        return RKCRYPTO_E_INVALID_ARG;
    }
    EVP_PKEY* key = public_key_handle_ ? public_key_handle_.get() : private_key_handle_.get();
    if (key == nullptr) {
        RKCRYPTO_LOG(STATUS_INVALID_HANDLE, L"Error trying to BCryptVerifySignature");
        return STATUS_INVALID_HANDLE;
    }
    std::vector<std::uint8_t> digest;
    NTSTATUS status = FinishDigest(digest, kFunction);
    if (!RK_SUCCESS(status)) {
        return status;
    }
    const std::size_t half = length / 2;
    ossl::EcdsaSig sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(signature, static_cast<int>(half), nullptr);
    BIGNUM* s = BN_bin2bn(signature + half, static_cast<int>(half), nullptr);
    if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return RKCRYPTO_E_OUT_OF_MEMORY;
    }
    unsigned char* der = nullptr;
    const int der_length = i2d_ECDSA_SIG(sig.get(), &der);
    if (der_length <= 0) {
        return RKCRYPTO_E_OUT_OF_MEMORY;
    }
    ossl::PKeyCtx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
    int result = -1;
    if (ctx && EVP_PKEY_verify_init(ctx.get()) == 1) {
        result = EVP_PKEY_verify(ctx.get(), der, static_cast<std::size_t>(der_length), digest.data(), digest.size());
    }
    OPENSSL_free(der);
    if (result != 1) {
        // A mismatch is a failed operation like any other: one line.
        RKCRYPTO_LOG(STATUS_INVALID_SIGNATURE, L"Error trying to BCryptVerifySignature");
        return STATUS_INVALID_SIGNATURE;
    }
    return STATUS_SUCCESS;
}

NTSTATUS CRkCryptoSignWin::GetSignature(std::vector<std::uint8_t>& out) {
    static constexpr char kFunction[] = "RkCryptoLib::CRkCryptoSignWin::GetSignature";
    if (!traits_) {
        return RKCRYPTO_E_NOT_INITIALIZED;
    }
    if (!private_key_handle_) {
        RKCRYPTO_LOG(STATUS_INVALID_HANDLE, L"Error trying to BCryptSignHash");
        return STATUS_INVALID_HANDLE;
    }
    std::vector<std::uint8_t> digest;
    NTSTATUS status = FinishDigest(digest, kFunction);
    if (!RK_SUCCESS(status)) {
        return status;
    }
    ossl::PKeyCtx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, private_key_handle_.get(), nullptr));
    std::size_t der_length = 0;
    if (!ctx || EVP_PKEY_sign_init(ctx.get()) != 1 ||
        EVP_PKEY_sign(ctx.get(), nullptr, &der_length, digest.data(), digest.size()) != 1) {
        RKCRYPTO_LOG(STATUS_UNSUCCESSFUL, L"Error trying to BCryptSignHash");
        return STATUS_UNSUCCESSFUL;
    }
    std::vector<std::uint8_t> der(der_length);
    if (EVP_PKEY_sign(ctx.get(), der.data(), &der_length, digest.data(), digest.size()) != 1) {
        RKCRYPTO_LOG(STATUS_UNSUCCESSFUL, L"Error trying to BCryptSignHash");
        return STATUS_UNSUCCESSFUL;
    }
    const unsigned char* p = der.data();
    ossl::EcdsaSig sig(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(der_length)));
    if (!sig) {
        RKCRYPTO_LOG(STATUS_UNSUCCESSFUL, L"Error trying to BCryptSignHash");
        return STATUS_UNSUCCESSFUL;
    }
    const std::size_t half = traits_->SignatureSize() / 2;
    out.assign(traits_->SignatureSize(), 0);
    BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), out.data(), static_cast<int>(half));
    BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), out.data() + half, static_cast<int>(half));
    return STATUS_SUCCESS;
}

NTSTATUS CRkCryptoSignWin::GenerateKeyPair() {
    static constexpr char kFunction[] = "RkCryptoLib::CRkCryptoSignWin::GenerateKeyPair";
    if (!traits_) {
        return RKCRYPTO_E_NOT_INITIALIZED;
    }
    EVP_PKEY* generated = nullptr;
    if (EVP_PKEY_keygen_init(provider_.get()) != 1 ||
        EVP_PKEY_CTX_set_group_name(provider_.get(), traits_->CurveName()) != 1) {
        RKCRYPTO_LOG(STATUS_UNSUCCESSFUL, L"Failed to Initialise the Key Pair Generator");
        return STATUS_UNSUCCESSFUL;
    }
    if (EVP_PKEY_generate(provider_.get(), &generated) != 1) {
        RKCRYPTO_LOG(STATUS_UNSUCCESSFUL, L"Failed to Finalize the Key Pair Generator");
        return STATUS_UNSUCCESSFUL;
    }
    ossl::PKey key(generated);
    const std::size_t coordinate = traits_->KeySize();
    std::vector<std::uint8_t> public_blob;
    std::vector<std::uint8_t> private_blob;
    try {
        public_blob.reserve(kBlobHeaderSize + 2 * coordinate);
        private_blob.reserve(kBlobHeaderSize + 3 * coordinate);
    } catch (const std::bad_alloc&) {
        RKCRYPTO_LOG(STATUS_NO_MEMORY, L"Failed to Allocate the Key Pair buffer");
        return STATUS_NO_MEMORY;
    }
    std::uint8_t point[1 + 2 * RkCryptoSignWinTraits_ECDSA_P256::kKeySize] = {};
    std::size_t point_length = 0;
    if (EVP_PKEY_get_octet_string_param(key.get(), OSSL_PKEY_PARAM_PUB_KEY, point, sizeof(point), &point_length) !=
            1 ||
        point_length != sizeof(point) || point[0] != kUncompressedPoint) {
        RKCRYPTO_LOG(STATUS_UNSUCCESSFUL, L"Failed to Export the Public Key");
        return STATUS_UNSUCCESSFUL;
    }
    put_le32(public_blob, traits_->PublicBlobMagic());
    put_le32(public_blob, static_cast<std::uint32_t>(coordinate));
    public_blob.insert(public_blob.end(), point + 1, point + sizeof(point));

    BIGNUM* d_raw = nullptr;
    if (EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_PRIV_KEY, &d_raw) != 1) {
        RKCRYPTO_LOG(STATUS_UNSUCCESSFUL, L"Failed to Export the Private Key");
        return STATUS_UNSUCCESSFUL;
    }
    ossl::Bignum d(d_raw);
    put_le32(private_blob, traits_->PrivateBlobMagic());
    put_le32(private_blob, static_cast<std::uint32_t>(coordinate));
    private_blob.insert(private_blob.end(), point + 1, point + sizeof(point));
    private_blob.resize(kBlobHeaderSize + 3 * coordinate);
    BN_bn2binpad(d.get(), private_blob.data() + kBlobHeaderSize + 2 * coordinate, static_cast<int>(coordinate));

    std::vector<std::uint8_t> public_raw;
    std::vector<std::uint8_t> private_raw;
    NTSTATUS status = ExtractKeyData(public_blob, public_raw);
    if (RK_SUCCESS(status)) {
        status = ExtractKeyData(private_blob, private_raw);
    }
    if (!RK_SUCCESS(status)) {
        return status;
    }
    DestroyKeys();
    private_key_handle_ = std::move(key);
    public_key_ = std::move(public_raw);
    private_key_ = std::move(private_raw);
    return STATUS_SUCCESS;
}

}  // namespace RkCryptoLib
