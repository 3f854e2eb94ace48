#include "xml_updater/document_signer.h"

#include "platform/crypto/rk_crypto_sign.h"
#include "platform/text/strings.h"
#include "xml_updater/signature_check.h"

namespace rk::xmlsig {

std::optional<std::string> sign_document(std::string_view document, std::span<const std::uint8_t> private_key,
                                         TrailerForm form) {
    using namespace RkCryptoLib;
    CRkCryptoSignWin signer;
    std::vector<std::uint8_t> signature;
    if (!RK_SUCCESS(signer.Initialize(CRYPTO_SIGN_ALG_ID::ECDSA_P256)) ||
        !RK_SUCCESS(signer.ImportPrivateKey(private_key.data(), private_key.size())) ||
        !RK_SUCCESS(signer.AddData(reinterpret_cast<const std::uint8_t*>(document.data()), document.size())) ||
        !RK_SUCCESS(signer.GetSignature(signature))) {
        return std::nullopt;
    }
    const bool xml = form == TrailerForm::kXmlComment;
    std::string out(document);
    out += xml ? NSignatureCheck::kXmlTrailerOpening : NSignatureCheck::kPlainTrailerOpening;
    out += rk::text::to_hex(signature);
    out += xml ? NSignatureCheck::kXmlTrailerClosing : NSignatureCheck::kPlainTrailerClosing;
    return out;
}

}  // namespace rk::xmlsig
