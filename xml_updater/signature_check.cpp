#include "xml_updater/signature_check.h"

#include <string_view>
#include <vector>

#include "platform/crypto/rk_crypto_sign.h"
#include "profile/profile_data.h"
#include "xml_updater/xml_updater_log.h"

namespace NSignatureCheck {
namespace {

constexpr wchar_t kFile[] = L"signature_check.cpp";
constexpr wchar_t kFunction[] = L"NSignatureCheck::ForceVerifySignature";

void log_error(int line, const wchar_t* message) {
    XMLUpdater::v2::XmlUpdaterLog(XMLUpdater::v2::kXmlLogError, kFile, kFunction, line, L"%ls", message);
}

int hex_value(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool ForceVerifySignature(const std::uint8_t* buffer, std::size_t length, std::size_t& signed_length) {
    return VerifySignatureWithKey(buffer, length, rk::profile::kDocumentPublicKey, signed_length);
}

bool VerifySignatureWithKey(const std::uint8_t* buffer, std::size_t length, std::span<const std::uint8_t> public_key,
                            std::size_t& signed_length) {
    using namespace RkCryptoLib;
    if (buffer == nullptr) {
        log_error(__LINE__, kMsgVerifyFailed);
        return false;
    }
    const bool xml = length > 3 && std::string_view(reinterpret_cast<const char*>(buffer) + length - 3, 3) ==
                                       kXmlTrailerClosing;
    const std::size_t opening = xml ? sizeof(kXmlTrailerOpening) - 1 : sizeof(kPlainTrailerOpening) - 1;
    const std::size_t closing = xml ? sizeof(kXmlTrailerClosing) - 1 : sizeof(kPlainTrailerClosing) - 1;
    if (length < closing + opening + kSignatureDigits) {
        log_error(__LINE__, kMsgVerifyFailed);
        return false;
    }
    const std::size_t n = length - closing - opening - kSignatureDigits;

    CRkCryptoSignWin verifier;
    if (!RK_SUCCESS(verifier.Initialize(CRYPTO_SIGN_ALG_ID::ECDSA_P256)) ||
        !RK_SUCCESS(verifier.AddData(buffer, n)) ||
        !RK_SUCCESS(verifier.ImportPublicKey(public_key.data(), public_key.size()))) {
        log_error(__LINE__, kMsgVerifyFailed);
        return false;
    }

    std::vector<std::uint8_t> signature;
    signature.reserve(kSignatureDigits / 2);
    const std::uint8_t* digits = buffer + n + opening;
    for (std::size_t i = 0; i < kSignatureDigits; i += 2) {
        const int hi = hex_value(digits[i]);
        const int lo = hex_value(digits[i + 1]);
        if (hi < 0 || lo < 0) {
            log_error(__LINE__, kMsgHexFailed);
            signature.clear();  // the verifier refuses it below
            break;
        }
        signature.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    if (!RK_SUCCESS(verifier.VerifySignature(signature.data(), signature.size()))) {
        log_error(__LINE__, kMsgVerifyFailed);
        return false;
    }
    signed_length = n;
    return true;
}

}  // namespace NSignatureCheck
