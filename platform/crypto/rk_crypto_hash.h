// Hashing: SHA-256/384/512 and MD5 (MD5 only for download digests and the
// HASH substitution, never for trust decisions).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/crypto/openssl_handles.h"
#include "platform/crypto/rk_crypto_status.h"
#include "platform/crypto/rk_crypto_traits.h"

namespace RkCryptoLib {

class CRkCryptoHashBaseWin {
public:
    virtual ~CRkCryptoHashBaseWin() = default;
    virtual NTSTATUS Initialize(CRYPTO_HASH_ALG_ID algorithm) = 0;
    virtual NTSTATUS AddToHash(const std::uint8_t* data, std::size_t length) = 0;
    // The digest of everything added since the last GetFinalHash; the object
    // is then ready for a new message.
    virtual NTSTATUS GetFinalHash(std::vector<std::uint8_t>& out) = 0;
    virtual std::size_t GetHashLength() const = 0;
    virtual std::size_t GetBlockLength() const = 0;
};

class CRkCryptoHashWin final : public CRkCryptoHashBaseWin {
public:
    CRkCryptoHashWin() = default;
    CRkCryptoHashWin(const CRkCryptoHashWin&) = delete;
    CRkCryptoHashWin& operator=(const CRkCryptoHashWin&) = delete;

    NTSTATUS Initialize(CRYPTO_HASH_ALG_ID algorithm) override;
    NTSTATUS AddToHash(const std::uint8_t* data, std::size_t length) override;
    NTSTATUS GetFinalHash(std::vector<std::uint8_t>& out) override;
    std::size_t GetHashLength() const override { return hash_length_; }
    std::size_t GetBlockLength() const override { return block_length_; }

private:
    NTSTATUS CreateHash();

    std::unique_ptr<IRkCryptoHashTraitsWin> traits_;
    ossl::Md provider_;
    ossl::MdCtx hash_;
    std::size_t hash_length_ = 0;
    std::size_t block_length_ = 0;
    bool data_added_ = false;
};

}  // namespace RkCryptoLib
