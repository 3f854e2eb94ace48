#include "script_host/script_signer.h"

#include "platform/crypto/rk_crypto_sign.h"
#include "platform/text/strings.h"
#include "script_host/signature_check.h"

namespace rk::script {

std::optional<std::string> sign_script(std::string_view text, std::span<const std::uint8_t> private_key,
                                       SignatureLineForm form) {
    using namespace RkCryptoLib;
    CRkCryptoSignWin signer;
    std::vector<std::uint8_t> signature;
    if (!RK_SUCCESS(signer.Initialize(CRYPTO_SIGN_ALG_ID::ECDSA_P256)) ||
        !RK_SUCCESS(signer.ImportPrivateKey(private_key.data(), private_key.size())) ||
        !RK_SUCCESS(signer.AddData(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())) ||
        !RK_SUCCESS(signer.GetSignature(signature))) {
        return std::nullopt;
    }
    if (form == SignatureLineForm::kAuto) {
        form = text.ends_with(SignatureCheck::kMarkupLineClosing) ? SignatureLineForm::kMarkup
                                                                  : SignatureLineForm::kScript;
    }
    const bool markup = form == SignatureLineForm::kMarkup;
    std::string out(text);
    out += markup ? SignatureCheck::kMarkupLineOpening : SignatureCheck::kScriptLineOpening;
    out += rk::text::to_hex(signature);
    out += markup ? SignatureCheck::kMarkupLineClosing : SignatureCheck::kScriptLineClosing;
    return out;
}

}  // namespace rk::script
