// Appends the signature line to a script (the inverse of
// SignatureCheck::VerifySignature), for the signing tool and the build.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace rk::script {

enum class SignatureLineForm {
    kAuto,    // markup when the text ends with "-->", else script
    kScript,  // CR LF "//" hex "++"
    kMarkup,  // CR LF "<!--" hex "-->"
};

// `private_key` is X || Y || d. Nullopt when the key cannot sign.
std::optional<std::string> sign_script(std::string_view text, std::span<const std::uint8_t> private_key,
                                       SignatureLineForm form = SignatureLineForm::kAuto);

}  // namespace rk::script
