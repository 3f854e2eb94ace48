#include "script_host/signature_check.h"

#include <array>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/crypto/rk_crypto_sign.h"
#include "platform/logging/process_logger.h"
#include "profile/profile_data.h"

namespace SignatureCheck {
namespace {

constexpr wchar_t kFile[] = L"signature_check.cpp";
constexpr wchar_t kFunction[] = L"SignatureCheck::VerifySignature";

void log_failure(int line, const wchar_t* message) {
    if (IsLogLevelEnabled(rk::log_level::kCritical)) {
        LogMessage(rk::log_level::kCritical, kFile, kFunction, line, L"%ls", message);
    }
}

int hex_value(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Pairs of digits up to the first pair that is not one.
std::vector<std::uint8_t> hex_pairs(const std::uint8_t* digits, std::size_t count) {
    std::vector<std::uint8_t> out;
    out.reserve(count / 2);
    for (std::size_t i = 0; i + 1 < count; i += 2) {
        const int hi = hex_value(digits[i]);
        const int lo = hex_value(digits[i + 1]);
        if (hi < 0 || lo < 0) {
            break;
        }
        out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return out;
}

// The process-wide copy of the built-in key, assembled on first use.
std::span<const std::uint8_t> script_key() {
    static std::once_flag once;
    static std::array<std::uint8_t, rk::profile::kScriptPublicKey.size()> key;
    std::call_once(once, [] { key = rk::profile::kScriptPublicKey; });
    return key;
}

}  // namespace

bool VerifySignature(const std::uint8_t* bytes, std::size_t length) {
    return VerifySignatureWithKey(bytes, length, script_key());
}

bool VerifySignatureWithKey(const std::uint8_t* bytes, std::size_t length, std::span<const std::uint8_t> public_key) {
    using namespace RkCryptoLib;
    CRkCryptoSignWin verifier;
    if (!RK_SUCCESS(verifier.Initialize(CRYPTO_SIGN_ALG_ID::ECDSA_P256))) {
        log_failure(__LINE__, kMsgInitFailed);
        return false;
    }
    const std::size_t signature_length = verifier.GetSignatureLength();
    const std::size_t digits = 2 * signature_length;
    if (bytes == nullptr || length < digits + 3) {
        log_failure(__LINE__, kMsgParseFailed);
        return false;
    }
    const std::string_view tail(reinterpret_cast<const char*>(bytes) + length - 3, 3);
    const bool markup = tail == kMarkupLineClosing;
    const std::size_t closing = markup ? sizeof(kMarkupLineClosing) - 1 : sizeof(kScriptLineClosing) - 1;
    const std::size_t opening = markup ? sizeof(kMarkupLineOpening) - 1 : sizeof(kScriptLineOpening) - 1;
    if (length < closing + digits + opening) {
        log_failure(__LINE__, kMsgParseFailed);
        return false;
    }
    const std::size_t signed_length = length - closing - digits - opening;
    const std::uint8_t* signature_digits = bytes + length - closing - digits;

    if (!RK_SUCCESS(verifier.ImportPublicKey(public_key.data(), public_key.size()))) {
        log_failure(__LINE__, kMsgSetKeyFailed);
        return false;
    }
    if (!RK_SUCCESS(verifier.AddData(bytes, signed_length))) {
        log_failure(__LINE__, kMsgAddDataFailed);
        return false;
    }
    const std::vector<std::uint8_t> signature = hex_pairs(signature_digits, digits);
    if (signature.empty()) {
        log_failure(__LINE__, kMsgHexFailed);
        return false;
    }
    if (!RK_SUCCESS(verifier.VerifySignature(signature.data(), signature.size()))) {
        log_failure(__LINE__, kMsgVerifyFailed);
        return false;
    }
    return true;
}

}  // namespace SignatureCheck
