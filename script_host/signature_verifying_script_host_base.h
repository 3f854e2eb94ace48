// The signature gate shared by the script hosts: AddScript verifies the
// script's signature line with the product's script key and only then hands
// the whole text to AddVerifiedScript. Verification is off at construction;
// the asynchronous host switches it on (the analytics engine always asks for
// it). Nothing in configuration can switch it off: only code (tests) can.
#pragma once

#include <atomic>

#include "script_host/script_host_if.h"

namespace Corvane::Script {

inline constexpr char kMsgSignatureCheckFailed[] = "Signature check for script verification failed";

class SignatureVerifyingScriptHostBase : public IScriptHost {
public:
    void AddScript(const std::wstring& text, const std::wstring& source_name) override;
    void SetSignatureVerification(bool enabled) override { verify_ = enabled; }
    bool IsSignatureVerificationEnabled() const override { return verify_; }

private:
    std::atomic<bool> verify_{false};
};

}  // namespace Corvane::Script
