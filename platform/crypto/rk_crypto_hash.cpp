#include "platform/crypto/rk_crypto_hash.h"

#include "platform/crypto/rk_crypto_logger.h"

namespace RkCryptoLib {

NTSTATUS CRkCryptoHashWin::Initialize(CRYPTO_HASH_ALG_ID algorithm) {
    static constexpr char kFunction[] = "RkCryptoLib::CRkCryptoHashWin::Initialize";
    hash_.reset();
    provider_.reset();
    data_added_ = false;
    traits_ = CreateHashTraits(algorithm);
    if (!traits_) {
        const auto args = rk::text::make_format_args(__FILE__, __LINE__, kFunction);
        CRkCryptoLogger::LogRawV(__FILE__, __LINE__, kFunction, L"[%S:(%d)][%S] Failed to create hash traits.",
                                 rk::text::FormatArgs(args.data(), args.size()));
        return STATUS_NOT_SUPPORTED;
    }
    provider_.reset(EVP_MD_fetch(nullptr, traits_->ProviderName(), nullptr));
    if (!provider_) {
        RKCRYPTO_LOG(STATUS_NOT_FOUND, L"Error trying to BCryptOpenAlgorithmProvider");
        return STATUS_NOT_FOUND;
    }
    const int size = EVP_MD_get_size(provider_.get());
    const int block = EVP_MD_get_block_size(provider_.get());
    if (size <= 0 || block <= 0) {
        RKCRYPTO_LOG(STATUS_NOT_SUPPORTED, L"Error trying to BCryptGetProperty :: %ls",
                     size <= 0 ? L"ObjectLength" : L"HashBlockLength");
        provider_.reset();
        return STATUS_NOT_SUPPORTED;
    }
    hash_length_ = static_cast<std::size_t>(size);
    block_length_ = static_cast<std::size_t>(block);
    return CreateHash();
}

NTSTATUS CRkCryptoHashWin::CreateHash() {
    static constexpr char kFunction[] = "RkCryptoLib::CRkCryptoHashWin::CreateHash";
    if (!hash_) {
        hash_.reset(EVP_MD_CTX_new());
    }
    if (!hash_ || EVP_DigestInit_ex(hash_.get(), provider_.get(), nullptr) != 1) {
        RKCRYPTO_LOG(STATUS_UNSUCCESSFUL, L"Error trying to BCryptCreateHash");
        hash_.reset();
        return STATUS_UNSUCCESSFUL;
    }
    data_added_ = false;
    return STATUS_SUCCESS;
}

NTSTATUS CRkCryptoHashWin::AddToHash(const std::uint8_t* data, std::size_t length) {
    static constexpr char kFunction[] = "RkCryptoLib::CRkCryptoHashWin::AddToHash";
    if (!hash_) {
        return RKCRYPTO_E_NOT_INITIALIZED;
    }
    if (data == nullptr && length != 0) {
        RKCRYPTO_LOG(STATUS_INVALID_PARAMETER, L"Error trying to add data for hashing");
        return STATUS_INVALID_PARAMETER;
    }
    if (EVP_DigestUpdate(hash_.get(), data, length) != 1) {
        RKCRYPTO_LOG(STATUS_UNSUCCESSFUL, L"Error trying to add data for hashing");
        return STATUS_UNSUCCESSFUL;
    }
    data_added_ = true;
    return STATUS_SUCCESS;
}

NTSTATUS CRkCryptoHashWin::GetFinalHash(std::vector<std::uint8_t>& out) {
    static constexpr char kFunction[] = "RkCryptoLib::CRkCryptoHashWin::GetFinalHash";
    if (!hash_) {
        return RKCRYPTO_E_NOT_INITIALIZED;
    }
    if (!data_added_) {
        RKCRYPTO_LOG(STATUS_INVALID_STATE, L"No data was added to hash");
        return STATUS_INVALID_STATE;
    }
    out.resize(hash_length_);
    unsigned int written = 0;
    if (EVP_DigestFinal_ex(hash_.get(), out.data(), &written) != 1 || written != hash_length_) {
        RKCRYPTO_LOG(STATUS_UNSUCCESSFUL, L"Error trying to BCryptFinishHash");
        out.clear();
        CreateHash();
        return STATUS_UNSUCCESSFUL;
    }
    return CreateHash();
}

}  // namespace RkCryptoLib
