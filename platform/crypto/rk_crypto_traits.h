// Algorithm traits: one small class per algorithm that hands its constants
// to the generic hash, signature and symmetric classes. Each traits class
// keeps the CNG algorithm name (the library's identity of the algorithm) and
// the OpenSSL name that implements it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace RkCryptoLib {

enum class CRYPTO_HASH_ALG_ID { SHA256, SHA384, SHA512, MD5 };
enum class CRYPTO_SIGN_ALG_ID { ECDSA_P256 };
enum class CRYPTO_SYMMETRIC_ALG_ID { AES128_CBC, AES192_CBC, AES256_CBC };

template <typename AlgId>
class IRkCryptoAlgorithm {
public:
    virtual ~IRkCryptoAlgorithm() = default;
    virtual AlgId AlgorithmId() const = 0;
};

template <typename AlgId>
class IRkCryptoTraitsWin : public IRkCryptoAlgorithm<AlgId> {
public:
    // CNG algorithm identifier ("SHA256", "ECDSA_P256", "AES").
    virtual const wchar_t* AlgorithmName() const = 0;
    // OpenSSL name of the digest, key type or cipher.
    virtual const char* ProviderName() const = 0;
};

using IRkCryptoHashTraitsWin = IRkCryptoTraitsWin<CRYPTO_HASH_ALG_ID>;

class IRkCryptoSignTraitsWin : public IRkCryptoTraitsWin<CRYPTO_SIGN_ALG_ID> {
public:
    virtual std::size_t SignatureSize() const = 0;   // r || s
    virtual std::size_t KeySize() const = 0;         // one coordinate
    virtual std::uint32_t KeyLengthBits() const = 0;
    virtual const wchar_t* PublicBlobType() const = 0;
    virtual std::uint32_t PublicBlobMagic() const = 0;
    virtual const wchar_t* PrivateBlobType() const = 0;
    virtual std::uint32_t PrivateBlobMagic() const = 0;
    virtual const char* CurveName() const = 0;
    virtual CRYPTO_HASH_ALG_ID HashAlgorithm() const = 0;
    virtual void SetHashAlgorithm(CRYPTO_HASH_ALG_ID hash) = 0;
};

class IRkCryptoEncryptTraitsWin : public IRkCryptoTraitsWin<CRYPTO_SYMMETRIC_ALG_ID> {
public:
    virtual const wchar_t* ChainingMode() const = 0;
    virtual std::size_t KeySize() const = 0;
};

template <CRYPTO_HASH_ALG_ID Id>
class RkCryptoHashWinTraits final : public IRkCryptoHashTraitsWin {
public:
    RkCryptoHashWinTraits(const wchar_t* cng, const char* ossl) : cng_(cng), ossl_(ossl) {}
    CRYPTO_HASH_ALG_ID AlgorithmId() const override { return Id; }
    const wchar_t* AlgorithmName() const override { return cng_; }
    const char* ProviderName() const override { return ossl_; }

private:
    const wchar_t* cng_;
    const char* ossl_;
};

using RkCryptoHashWinTraits_sha256 = RkCryptoHashWinTraits<CRYPTO_HASH_ALG_ID::SHA256>;
using RkCryptoHashWinTraits_sha384 = RkCryptoHashWinTraits<CRYPTO_HASH_ALG_ID::SHA384>;
using RkCryptoHashWinTraits_sha512 = RkCryptoHashWinTraits<CRYPTO_HASH_ALG_ID::SHA512>;
using RkCryptoHashWinTraits_md5 = RkCryptoHashWinTraits<CRYPTO_HASH_ALG_ID::MD5>;

class RkCryptoSignWinTraits_ECDSA_P256 final : public IRkCryptoSignTraitsWin {
public:
    static constexpr std::size_t kSignatureSize = 64;
    static constexpr std::size_t kKeySize = 32;
    static constexpr std::uint32_t kKeyLengthBits = 256;
    static constexpr std::uint32_t kPublicMagic = 0x31534345;   // "ECS1"
    static constexpr std::uint32_t kPrivateMagic = 0x32534345;  // "ECS2"

    CRYPTO_SIGN_ALG_ID AlgorithmId() const override { return CRYPTO_SIGN_ALG_ID::ECDSA_P256; }
    const wchar_t* AlgorithmName() const override { return L"ECDSA_P256"; }
    const char* ProviderName() const override { return "EC"; }
    std::size_t SignatureSize() const override { return kSignatureSize; }
    std::size_t KeySize() const override { return kKeySize; }
    std::uint32_t KeyLengthBits() const override { return kKeyLengthBits; }
    const wchar_t* PublicBlobType() const override { return L"ECCPUBLICBLOB"; }
    std::uint32_t PublicBlobMagic() const override { return kPublicMagic; }
    const wchar_t* PrivateBlobType() const override { return L"ECCPRIVATEBLOB"; }
    std::uint32_t PrivateBlobMagic() const override { return kPrivateMagic; }
    const char* CurveName() const override { return "prime256v1"; }
    CRYPTO_HASH_ALG_ID HashAlgorithm() const override { return hash_; }
    void SetHashAlgorithm(CRYPTO_HASH_ALG_ID hash) override { hash_ = hash; }

private:
    CRYPTO_HASH_ALG_ID hash_ = CRYPTO_HASH_ALG_ID::SHA256;
};

template <CRYPTO_SYMMETRIC_ALG_ID Id, std::size_t Key>
class RkCryptoSymmWinTraits final : public IRkCryptoEncryptTraitsWin {
public:
    explicit RkCryptoSymmWinTraits(const char* ossl) : ossl_(ossl) {}
    CRYPTO_SYMMETRIC_ALG_ID AlgorithmId() const override { return Id; }
    const wchar_t* AlgorithmName() const override { return L"AES"; }
    const char* ProviderName() const override { return ossl_; }
    const wchar_t* ChainingMode() const override { return L"ChainingModeCBC"; }
    std::size_t KeySize() const override { return Key; }

private:
    const char* ossl_;
};

using RkCryptoSymmWinTraits_AES128_CBC = RkCryptoSymmWinTraits<CRYPTO_SYMMETRIC_ALG_ID::AES128_CBC, 16>;
using RkCryptoSymmWinTraits_AES192_CBC = RkCryptoSymmWinTraits<CRYPTO_SYMMETRIC_ALG_ID::AES192_CBC, 24>;
using RkCryptoSymmWinTraits_AES256_CBC = RkCryptoSymmWinTraits<CRYPTO_SYMMETRIC_ALG_ID::AES256_CBC, 32>;

// Null for an identifier outside the enumeration.
std::unique_ptr<IRkCryptoHashTraitsWin> CreateHashTraits(CRYPTO_HASH_ALG_ID id);
std::unique_ptr<IRkCryptoSignTraitsWin> CreateSignTraits(CRYPTO_SIGN_ALG_ID id);
std::unique_ptr<IRkCryptoEncryptTraitsWin> CreateSymmetricTraits(CRYPTO_SYMMETRIC_ALG_ID id);

}  // namespace RkCryptoLib
