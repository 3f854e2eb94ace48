#include "platform/crypto/rk_crypto_symmetric.h"

#include <openssl/crypto.h>

#include <cwchar>

#include "platform/crypto/rk_crypto_logger.h"

namespace RkCryptoLib {

CRkCryptoSymmetricWin::~CRkCryptoSymmetricWin() { Wipe(); }

void CRkCryptoSymmetricWin::Wipe() {
    if (!key_.empty()) {
        OPENSSL_cleanse(key_.data(), key_.size());
    }
    key_.clear();
    iv_.clear();
}

NTSTATUS CRkCryptoSymmetricWin::Initialize(CRYPTO_SYMMETRIC_ALG_ID algorithm, bool padding) {
    static constexpr char kFunction[] = "RkCryptoLib::CRkCryptoSymmetricWin::Initialize";
    provider_.reset();
    block_length_ = 0;
    iv_size_ = 0;
    padding_ = padding;
    traits_ = CreateSymmetricTraits(algorithm);
    if (!traits_) {
        const auto args = rk::text::make_format_args(__FILE__, __LINE__, kFunction);
        CRkCryptoLogger::LogRawV(__FILE__, __LINE__, kFunction, L"[%S:(%d)][%S] Failed to create symmetric traits.",
                                 rk::text::FormatArgs(args.data(), args.size()));
        return STATUS_NOT_SUPPORTED;
    }
    if (std::wcscmp(traits_->ChainingMode(), L"ChainingModeCBC") != 0) {
        RKCRYPTO_LOG(STATUS_NOT_SUPPORTED, L"Error trying to set the chaining mode (%s)", traits_->ChainingMode());
        traits_.reset();
        return STATUS_NOT_SUPPORTED;
    }
    provider_.reset(EVP_CIPHER_fetch(nullptr, traits_->ProviderName(), nullptr));
    if (!provider_) {
        RKCRYPTO_LOG(STATUS_NOT_FOUND, L"Error trying to BCryptOpenAlgorithmProvider");
        traits_.reset();
        return STATUS_NOT_FOUND;
    }
    const int block = EVP_CIPHER_get_block_size(provider_.get());
    const int iv = EVP_CIPHER_get_iv_length(provider_.get());
    const int key = EVP_CIPHER_get_key_length(provider_.get());
    if (block <= 1) {
        RKCRYPTO_LOG(STATUS_NOT_SUPPORTED, L"Error trying to read the block length");
    } else if (key != static_cast<int>(traits_->KeySize())) {
        RKCRYPTO_LOG(STATUS_NOT_SUPPORTED, L"Error trying to get Key Object Size: %ls", L"ObjectLength");
    } else if (iv != block) {
        RKCRYPTO_LOG(STATUS_NOT_SUPPORTED, L"Error trying to get IV Size");
    } else {
        block_length_ = static_cast<std::size_t>(block);
        iv_size_ = static_cast<std::size_t>(iv);
        return STATUS_SUCCESS;
    }
    provider_.reset();
    traits_.reset();
    return STATUS_NOT_SUPPORTED;
}

NTSTATUS CRkCryptoSymmetricWin::GetKeyAndIVSizes(std::size_t& key_size, std::size_t& iv_size) const {
    if (!provider_) {
        return RKCRYPTO_E_NOT_INITIALIZED;
    }
    key_size = traits_->KeySize();
    iv_size = iv_size_;
    return STATUS_SUCCESS;
}

std::size_t CRkCryptoSymmetricWin::GetKeySize() const { return traits_ ? traits_->KeySize() : 0; }

std::size_t CRkCryptoSymmetricWin::GetKeyObjectSize() const { return GetKeySize(); }

NTSTATUS CRkCryptoSymmetricWin::SetKeyIV(const std::uint8_t* key, std::size_t key_length, const std::uint8_t* iv,
                                         std::size_t iv_length) {
    static constexpr char kFunction[] = "RkCryptoLib::CRkCryptoSymmetricWin::SetKeyIV";
    if (key == nullptr || key_length == 0) {
        RKCRYPTO_LOG(STATUS_INVALID_PARAMETER, L"Null Key");
        return STATUS_INVALID_PARAMETER;
    }
    Wipe();
    key_.assign(key, key + key_length);
    if (iv != nullptr) {
        iv_.assign(iv, iv + iv_length);
    }
    return STATUS_SUCCESS;
}

NTSTATUS CRkCryptoSymmetricWin::Encrypt(const std::uint8_t* input, std::size_t length,
                                        std::vector<std::uint8_t>& output) {
    return Run(true, input, length, output);
}

NTSTATUS CRkCryptoSymmetricWin::Decrypt(const std::uint8_t* input, std::size_t length,
                                        std::vector<std::uint8_t>& output) {
    return Run(false, input, length, output);
}

NTSTATUS CRkCryptoSymmetricWin::Run(bool encrypt, const std::uint8_t* input, std::size_t length,
                                    std::vector<std::uint8_t>& output) {
    static constexpr char kEncrypt[] = "RkCryptoLib::CRkCryptoSymmetricWin::Encrypt";
    static constexpr char kDecrypt[] = "RkCryptoLib::CRkCryptoSymmetricWin::Decrypt";
    const char* const kFunction = encrypt ? kEncrypt : kDecrypt;
    if (!provider_) {
        return RKCRYPTO_E_NOT_INITIALIZED;
    }
    if (input == nullptr || length == 0) {
        return RKCRYPTO_E_INVALID_ARG;
    }
    if (key_.size() != traits_->KeySize() || (!iv_.empty() && iv_.size() != iv_size_)) {
        RKCRYPTO_LOG(STATUS_INVALID_PARAMETER, L"It was not possible to generate the Symmetric Key");
        return STATUS_INVALID_PARAMETER;
    }
    if (length > static_cast<std::size_t>(INT32_MAX) - 2 * block_length_) {
        return RKCRYPTO_E_INVALID_ARG;
    }
    const std::vector<std::uint8_t> zero_iv(iv_size_, 0);
    const std::uint8_t* iv = iv_.empty() ? zero_iv.data() : iv_.data();
    ossl::CipherCtx ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_CipherInit_ex2(ctx.get(), provider_.get(), key_.data(), iv, encrypt ? 1 : 0, nullptr) != 1) {
        RKCRYPTO_LOG(STATUS_UNSUCCESSFUL, L"Error trying to BCryptGenerateSymmetricKey");
        return STATUS_UNSUCCESSFUL;
    }
    EVP_CIPHER_CTX_set_padding(ctx.get(), padding_ ? 1 : 0);

    // Padding off: whole blocks only. Encryption zero-extends the input;
    // decryption of a partial block is a caller error, as in CNG.
    std::vector<std::uint8_t> extended;
    const std::size_t remainder = length % block_length_;
    if (!padding_ && remainder != 0) {
        if (!encrypt) {
            RKCRYPTO_LOG(STATUS_INVALID_BUFFER_SIZE, L"Error trying to get the size of the decrypted output (BCryptDecrypt)");
            return STATUS_INVALID_BUFFER_SIZE;
        }
        extended.assign(input, input + length);
        extended.resize(length + block_length_ - remainder, 0);
        input = extended.data();
        length = extended.size();
    }
    if (!encrypt && padding_ && remainder != 0) {
        RKCRYPTO_LOG(STATUS_INVALID_BUFFER_SIZE, L"Error trying to get the size of the decrypted output (BCryptDecrypt)");
        return STATUS_INVALID_BUFFER_SIZE;
    }

    output.assign(length + block_length_, 0);
    int written = 0;
    int final_written = 0;
    if (EVP_CipherUpdate(ctx.get(), output.data(), &written, input, static_cast<int>(length)) != 1) {
        output.clear();
        if (encrypt) {
            RKCRYPTO_LOG(STATUS_UNSUCCESSFUL, L"Error trying Encrypt (BCryptEncrypt): %ls", L"STATUS_UNSUCCESSFUL");
        } else {
            RKCRYPTO_LOG(STATUS_UNSUCCESSFUL, L"Error trying to decrypt (BCryptDecrypt)");
        }
        return STATUS_UNSUCCESSFUL;
    }
    if (EVP_CipherFinal_ex(ctx.get(), output.data() + written, &final_written) != 1) {
        output.clear();
        // Decryption: the last block does not end in valid padding (wrong
        // key or damaged data).
        const NTSTATUS status = encrypt ? STATUS_UNSUCCESSFUL : STATUS_DATA_ERROR;
        if (encrypt) {
            RKCRYPTO_LOG(status, L"Error trying Encrypt (BCryptEncrypt): %ls", L"STATUS_UNSUCCESSFUL");
        } else {
            RKCRYPTO_LOG(status, L"Error trying to decrypt (BCryptDecrypt)");
        }
        return status;
    }
    output.resize(static_cast<std::size_t>(written + final_written));
    return STATUS_SUCCESS;
}

}  // namespace RkCryptoLib
