// Appends the signature trailer to an update document (the inverse of
// NSignatureCheck::ForceVerifySignature), for the signing tool.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace rk::xmlsig {

enum class TrailerForm {
    kXmlComment,  // CR LF "<!--" hex "-->": the document stays well-formed XML
    kPlain,       // CR LF "//" hex "++"
};

// `private_key` is X || Y || d. Nullopt when the key cannot sign.
std::optional<std::string> sign_document(std::string_view document, std::span<const std::uint8_t> private_key,
                                         TrailerForm form = TrailerForm::kXmlComment);

}  // namespace rk::xmlsig
