#include "platform/crypto/rk_crypto_error.h"

namespace RkCryptoLib {

const wchar_t* CWinError::Name() const {
    struct Entry {
        NTSTATUS code;
        const wchar_t* name;
    };
    static constexpr Entry kNames[] = {
        {STATUS_SUCCESS, L"STATUS_SUCCESS"},
        {STATUS_UNSUCCESSFUL, L"STATUS_UNSUCCESSFUL"},
        {STATUS_NOT_IMPLEMENTED, L"STATUS_NOT_IMPLEMENTED"},
        {STATUS_INVALID_HANDLE, L"STATUS_INVALID_HANDLE"},
        {STATUS_INVALID_PARAMETER, L"STATUS_INVALID_PARAMETER"},
        {STATUS_NO_MEMORY, L"STATUS_NO_MEMORY"},
        {STATUS_BUFFER_TOO_SMALL, L"STATUS_BUFFER_TOO_SMALL"},
        {STATUS_NOT_SUPPORTED, L"STATUS_NOT_SUPPORTED"},
        {STATUS_NOT_FOUND, L"STATUS_NOT_FOUND"},
        {STATUS_INVALID_BUFFER_SIZE, L"STATUS_INVALID_BUFFER_SIZE"},
        {STATUS_DATA_ERROR, L"STATUS_DATA_ERROR"},
        {STATUS_INVALID_STATE, L"STATUS_INVALID_STATE"},
        {STATUS_AUTH_TAG_MISMATCH, L"STATUS_AUTH_TAG_MISMATCH"},
        {STATUS_HMAC_NOT_SUPPORTED, L"STATUS_HMAC_NOT_SUPPORTED"},
    };
    for (const auto& e : kNames) {
        if (e.code == status_) {
            return e.name;
        }
    }
    return L"STATUS_UNKNOWN";
}

}  // namespace RkCryptoLib
