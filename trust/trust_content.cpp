#include "trust/trust_content.h"

#include "platform/text/format.h"
#include "platform/text/json.h"
#include "platform/text/utf.h"
#include "profile/profile_data.h"
#include "trust/builtin_certificates_data.h"
#include "trust/trust_words.h"

namespace rk::trust {

namespace json = text::json;

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool parse_certificate(const rapidjson::Value& item, TrustedCertificate& cert, std::wstring& error) {
    const auto* hash = json::member(item, kFieldHash);
    const auto* name = json::member(item, kFieldName);
    const auto* type = json::member(item, kFieldType);
    if (hash == nullptr || !hash->IsString() || name == nullptr || !name->IsString() || type == nullptr ||
        !type->IsInt64()) {
        error = L"a certificate entry lacks \"hash\", \"name\" or \"type\" of the right kind";
        return false;
    }
    const std::int64_t t = type->GetInt64();
    if (t < 0 || t > 2) {
        error = text::format(kInvalidType, t);
        return false;
    }
    const std::string_view digits(hash->GetString(), hash->GetStringLength());
    if (digits.size() != 40 && digits.size() != 64 && digits.size() != 96) {
        error = text::format(kInvalidHashSize, static_cast<std::int64_t>(digits.size()));
        return false;
    }
    cert.hash.clear();
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int hi = hex_value(digits[i]);
        const int lo = hex_value(digits[i + 1]);
        if (hi < 0 || lo < 0) {
            error = L"a certificate hash is not hexadecimal";
            return false;
        }
        cert.hash.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    cert.name = text::utf8_to_wide(std::string_view(name->GetString(), name->GetStringLength()));
    cert.type = static_cast<CertificateType>(t);
    return true;
}

TrustContent make_builtin() {
    TrustContent content;
    std::wstring error;
    // The data file is part of the build; a broken one fails its test.
    if (!parse_trust_content(kBuiltinCertificatesJson, content, error)) {
        content = {};
    }
    content.version = 0;
    for (std::size_t i = 0; i < profile::kMakerCertificateSha1.size(); ++i) {
        const auto& sha1 = profile::kMakerCertificateSha1[i];
        content.certs.push_back({{sha1.begin(), sha1.end()},
                                 i < profile::kMakerCertificateNames.size()
                                     ? std::wstring(profile::kMakerCertificateNames[i])
                                     : std::wstring(L"maker certificate"),
                                 CertificateType::kMaker});
    }
    return content;
}

}  // namespace

bool parse_trust_content(std::string_view text, TrustContent& out, std::wstring& error) {
    if (text.size() > kMaxContentBytes) {
        error = L"content file is too large";
        return false;
    }
    rapidjson::Document doc;
    if (!json::parse(text, doc) || !doc.IsObject()) {
        error = L"content file is not a JSON object";
        return false;
    }
    const auto* version = json::member(doc, kFieldVersion);
    if (version == nullptr || !version->IsUint64()) {
        error = L"content file lacks an unsigned \"version\"";
        return false;
    }
    const auto* certs = json::member(doc, kFieldCerts);
    if (certs == nullptr || !certs->IsArray()) {
        error = L"content file lacks a \"certs\" array";
        return false;
    }
    if (certs->Size() > kMaxCertificates) {
        error = L"content file lists too many certificates";
        return false;
    }
    TrustContent content;
    content.version = version->GetUint64();
    content.certs.reserve(certs->Size());
    for (const auto& item : certs->GetArray()) {
        TrustedCertificate cert;
        if (!parse_certificate(item, cert, error)) {
            return false;
        }
        content.certs.push_back(std::move(cert));
    }
    out = std::move(content);
    return true;
}

const TrustContent& builtin_content() {
    static const TrustContent content = make_builtin();
    return content;
}

}  // namespace rk::trust
