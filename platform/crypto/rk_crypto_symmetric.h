// AES-CBC with 128-, 192- or 256-bit keys. Padding on: PKCS#7 block padding
// (CNG's BCRYPT_BLOCK_PADDING). Padding off: the plaintext is extended with
// zero bytes to whole blocks before encryption, and decryption returns whole
// blocks (the caller knows the real length). Every Encrypt and Decrypt starts
// from the IV given to SetKeyIV, so calls are independent of each other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/crypto/openssl_handles.h"
#include "platform/crypto/rk_crypto_status.h"
#include "platform/crypto/rk_crypto_traits.h"

namespace RkCryptoLib {

class CRkCryptoSymmetricWin {
public:
    CRkCryptoSymmetricWin() = default;
    ~CRkCryptoSymmetricWin();
    CRkCryptoSymmetricWin(const CRkCryptoSymmetricWin&) = delete;
    CRkCryptoSymmetricWin& operator=(const CRkCryptoSymmetricWin&) = delete;

    NTSTATUS Initialize(CRYPTO_SYMMETRIC_ALG_ID algorithm, bool padding);
    NTSTATUS GetKeyAndIVSizes(std::size_t& key_size, std::size_t& iv_size) const;
    std::size_t GetKeySize() const;
    // OpenSSL keeps no separate key object; this is the key schedule's input
    // size, the same as GetKeySize().
    std::size_t GetKeyObjectSize() const;
    std::size_t GetBlockLength() const { return block_length_; }

    // The key must have the algorithm's key size when Encrypt or Decrypt
    // runs; no IV (null or empty) means an all-zero IV of one block.
    NTSTATUS SetKeyIV(const std::uint8_t* key, std::size_t key_length, const std::uint8_t* iv,
                      std::size_t iv_length);
    NTSTATUS Encrypt(const std::uint8_t* input, std::size_t length, std::vector<std::uint8_t>& output);
    NTSTATUS Decrypt(const std::uint8_t* input, std::size_t length, std::vector<std::uint8_t>& output);

private:
    NTSTATUS Run(bool encrypt, const std::uint8_t* input, std::size_t length, std::vector<std::uint8_t>& output);
    void Wipe();

    std::unique_ptr<IRkCryptoEncryptTraitsWin> traits_;
    ossl::Cipher provider_;
    std::size_t block_length_ = 0;
    std::size_t iv_size_ = 0;
    std::vector<std::uint8_t> key_;
    std::vector<std::uint8_t> iv_;
    bool padding_ = true;
};

}  // namespace RkCryptoLib
