// Conversions between the raw P-256 forms that CRkCryptoSignWin takes and the
// usual OpenSSL encodings, for the signing tool and cross-checks:
//   public key  X || Y (64)       <-> PEM "PUBLIC KEY" (SubjectPublicKeyInfo)
//   private key X || Y || d (96)  <-> PEM "PRIVATE KEY" (PKCS#8, unencrypted);
//                                     "EC PRIVATE KEY" (SEC1) is read too
//   signature   r || s (64)       <-> DER ECDSA-Sig-Value
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rk::crypto {

inline constexpr std::size_t kP256PublicKeySize = 64;
inline constexpr std::size_t kP256PrivateKeySize = 96;
inline constexpr std::size_t kP256SignatureSize = 64;

// nullopt for anything but an unencrypted P-256 key.
std::optional<std::vector<std::uint8_t>> private_key_from_pem(std::string_view pem);
// Takes a public key PEM or a private key PEM (its public half).
std::optional<std::vector<std::uint8_t>> public_key_from_pem(std::string_view pem);

// Empty when the raw key is not a valid P-256 key.
std::string private_key_to_pem(std::span<const std::uint8_t> raw);
std::string public_key_to_pem(std::span<const std::uint8_t> raw);

std::vector<std::uint8_t> signature_to_der(std::span<const std::uint8_t> raw);
std::optional<std::vector<std::uint8_t>> signature_from_der(std::span<const std::uint8_t> der);

}  // namespace rk::crypto
