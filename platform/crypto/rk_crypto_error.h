// Error wrappers that give a result code its name for log lines.
#pragma once

#include "platform/crypto/rk_crypto_status.h"

namespace RkCryptoLib {

class CErrorBase {
public:
    virtual ~CErrorBase() = default;
    virtual NTSTATUS Code() const = 0;
    // Static text, never null.
    virtual const wchar_t* Name() const = 0;
};

// An NTSTATUS with its name ("STATUS_INVALID_PARAMETER", ...); codes without
// a listed name are "STATUS_UNKNOWN".
class CWinError final : public CErrorBase {
public:
    explicit CWinError(NTSTATUS status) : status_(status) {}
    NTSTATUS Code() const override { return status_; }
    const wchar_t* Name() const override;

private:
    NTSTATUS status_;
};

}  // namespace RkCryptoLib
