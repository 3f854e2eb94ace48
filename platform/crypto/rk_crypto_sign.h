// ECDSA P-256 signatures over a SHA-2 digest of the data added. Keys travel
// as raw bytes: public X || Y (64), private X || Y || d (96), the contents of
// the CNG key blobs without their 8-byte header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/crypto/openssl_handles.h"
#include "platform/crypto/rk_crypto_hash.h"
#include "platform/crypto/rk_crypto_status.h"
#include "platform/crypto/rk_crypto_traits.h"

namespace RkCryptoLib {

class CRkCryptoSignWin {
public:
    // CNG key blob header: magic, then the length of one coordinate, both
    // little-endian 32-bit.
    static constexpr std::size_t kBlobHeaderSize = 8;

    CRkCryptoSignWin() = default;
    CRkCryptoSignWin(const CRkCryptoSignWin&) = delete;
    CRkCryptoSignWin& operator=(const CRkCryptoSignWin&) = delete;

    NTSTATUS Initialize(CRYPTO_SIGN_ALG_ID algorithm);
    NTSTATUS ImportPublicKey(const std::uint8_t* key, std::size_t length);
    NTSTATUS ImportPrivateKey(const std::uint8_t* key, std::size_t length);
    NTSTATUS AddData(const std::uint8_t* data, std::size_t length);
    // `signature` is r || s; any other length than SignatureLength() is an
    // invalid argument. STATUS_INVALID_SIGNATURE when it does not match.
    NTSTATUS VerifySignature(const std::uint8_t* signature, std::size_t length);
    NTSTATUS GetSignature(std::vector<std::uint8_t>& out);
    NTSTATUS GenerateKeyPair();

    const std::vector<std::uint8_t>& GetPublicKey() const { return public_key_; }
    const std::vector<std::uint8_t>& GetPrivateKey() const { return private_key_; }
    std::size_t GetSignatureLength() const { return traits_ ? traits_->SignatureSize() : 0; }

    // Blob layouts; `magic` selects the public or private blob.
    NTSTATUS MakeWinKeyPairBlob(std::uint32_t magic, const std::uint8_t* key, std::size_t length,
                                std::vector<std::uint8_t>& blob) const;
    NTSTATUS ExtractKeyData(const std::vector<std::uint8_t>& blob, std::vector<std::uint8_t>& key) const;

private:
    NTSTATUS ImportBlob(const std::vector<std::uint8_t>& blob);
    NTSTATUS FinishDigest(std::vector<std::uint8_t>& digest, const char* function);
    void DestroyKeys();

    std::unique_ptr<IRkCryptoSignTraitsWin> traits_;
    ossl::PKeyCtx provider_;
    ossl::PKey public_key_handle_;
    ossl::PKey private_key_handle_;
    CRkCryptoHashWin hash_;
    std::vector<std::uint8_t> public_key_;
    std::vector<std::uint8_t> private_key_;
};

}  // namespace RkCryptoLib
