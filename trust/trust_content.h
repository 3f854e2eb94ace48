// Trust content: a version and a list of trusted certificates, parsed from
// the content file (JSON, UTF-8) that the signed content cabinet carries,
// and the built-in list the validator starts with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rk::trust {

enum class CertificateType : std::uint32_t { kMaker = 0, kMicrosoft = 1, kWhql = 2 };

struct TrustedCertificate {
    std::vector<std::uint8_t> hash;  // SHA-1, SHA-256 or SHA-384 of the certificate (20, 32, 48 bytes)
    std::wstring name;
    CertificateType type = CertificateType::kMaker;
};

struct TrustContent {
    std::uint64_t version = 0;
    std::vector<TrustedCertificate> certs;
};

// Content files larger than this are refused unread; a list longer than
// kMaxCertificates is refused.
inline constexpr std::size_t kMaxContentBytes = 4u << 20;
inline constexpr std::size_t kMaxCertificates = 10000;

// Parses a content file. On failure `error` names the reason: "invalid type:
// %d", "invalid hash size: %d" (the number of hex digits), or what else is
// wrong. Never throws.
bool parse_trust_content(std::string_view json, TrustContent& out, std::wstring& error);

// The built-in list: the public certificates of the data file
// trust/builtin_certificates.json plus the maker's certificates of the
// deployment profile. Version 0.
const TrustContent& builtin_content();

}  // namespace rk::trust
