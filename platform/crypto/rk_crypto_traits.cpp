#include "platform/crypto/rk_crypto_traits.h"

namespace RkCryptoLib {

std::unique_ptr<IRkCryptoHashTraitsWin> CreateHashTraits(CRYPTO_HASH_ALG_ID id) {
    switch (id) {
        case CRYPTO_HASH_ALG_ID::SHA256:
            return std::make_unique<RkCryptoHashWinTraits_sha256>(L"SHA256", "SHA2-256");
        case CRYPTO_HASH_ALG_ID::SHA384:
            return std::make_unique<RkCryptoHashWinTraits_sha384>(L"SHA384", "SHA2-384");
        case CRYPTO_HASH_ALG_ID::SHA512:
            return std::make_unique<RkCryptoHashWinTraits_sha512>(L"SHA512", "SHA2-512");
        case CRYPTO_HASH_ALG_ID::MD5:
            return std::make_unique<RkCryptoHashWinTraits_md5>(L"MD5", "MD5");
    }
    return nullptr;
}

std::unique_ptr<IRkCryptoSignTraitsWin> CreateSignTraits(CRYPTO_SIGN_ALG_ID id) {
    if (id == CRYPTO_SIGN_ALG_ID::ECDSA_P256) {
        return std::make_unique<RkCryptoSignWinTraits_ECDSA_P256>();
    }
    return nullptr;
}

std::unique_ptr<IRkCryptoEncryptTraitsWin> CreateSymmetricTraits(CRYPTO_SYMMETRIC_ALG_ID id) {
    switch (id) {
        case CRYPTO_SYMMETRIC_ALG_ID::AES128_CBC:
            return std::make_unique<RkCryptoSymmWinTraits_AES128_CBC>("AES-128-CBC");
        case CRYPTO_SYMMETRIC_ALG_ID::AES192_CBC:
            return std::make_unique<RkCryptoSymmWinTraits_AES192_CBC>("AES-192-CBC");
        case CRYPTO_SYMMETRIC_ALG_ID::AES256_CBC:
            return std::make_unique<RkCryptoSymmWinTraits_AES256_CBC>("AES-256-CBC");
    }
    return nullptr;
}

}  // namespace RkCryptoLib
