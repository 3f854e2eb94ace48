// Content files, version folder names, flag tags and the built-in list.
#include "trust/trust_content.h"

#include <gtest/gtest.h>

#include "trust/classification.h"
#include "trust/content_version.h"

namespace rk::trust {
namespace {

std::string doc(const std::string& certs, const std::string& version = "3") {
    return "{\"version\":" + version + ",\"certs\":[" + certs + "]}";
}
std::string cert(const std::string& hash, const std::string& type = "0") {
    return "{\"hash\":\"" + hash + "\",\"name\":\"n\",\"type\":" + type + "}";
}

TEST(TrustContent, ParseTable) {
    const std::string sha1(40, 'a');
    const struct {
        std::string text;
        const wchar_t* error;  // nullptr: parses
        std::size_t hash_bytes;
    } cases[] = {
        {doc(cert(sha1)), nullptr, 20},
        {doc(cert(std::string(64, 'F'))), nullptr, 32},
        {doc(cert(std::string(96, '0'), "2")), nullptr, 48},
        {doc("", "18446744073709551615"), nullptr, 0},
        {doc(cert(std::string(50, 'a'))), L"invalid hash size: 50", 0},
        {doc(cert(std::string(39, 'a'))), L"invalid hash size: 39", 0},
        {doc(cert("")), L"invalid hash size: 0", 0},
        {doc(cert(sha1, "3")), L"invalid type: 3", 0},
        {doc(cert(sha1, "-1")), L"invalid type: -1", 0},
        {doc(cert(sha1, "1.5")), L"a certificate entry lacks \"hash\", \"name\" or \"type\" of the right kind", 0},
        {doc(cert(std::string(39, 'a') + "x")), L"a certificate hash is not hexadecimal", 0},
        {doc("", "18446744073709551616"), L"content file lacks an unsigned \"version\"", 0},
        {doc("", "-3"), L"content file lacks an unsigned \"version\"", 0},
        {"{\"version\":1}", L"content file lacks a \"certs\" array", 0},
        {doc("") + "x", L"content file is not a JSON object", 0},
        {"[1]", L"content file is not a JSON object", 0},
        {std::string(200000, '[') + std::string(200000, ']'), L"content file is not a JSON object", 0},
        {std::string(kMaxContentBytes + 1, ' '), L"content file is too large", 0},
    };
    for (const auto& c : cases) {
        TrustContent content;
        std::wstring error;
        const bool ok = parse_trust_content(c.text, content, error);
        EXPECT_EQ(ok, c.error == nullptr) << c.text.substr(0, 80);
        if (c.error != nullptr) {
            EXPECT_EQ(error, c.error) << c.text.substr(0, 80);
        } else if (c.hash_bytes != 0) {
            ASSERT_EQ(content.certs.size(), 1u);
            EXPECT_EQ(content.certs[0].hash.size(), c.hash_bytes);
        }
    }
}

TEST(TrustContent, VersionFolderNames) {
    const struct {
        const wchar_t* name;
        std::optional<ContentVersion> version;
    } cases[] = {
        {L"3", ContentVersion{3, 0, 0, 0}},          {L"1.2", ContentVersion{1, 2, 0, 0}},
        {L"2024.6.1.7", ContentVersion{2024, 6, 1, 7}}, {L"65535.0", ContentVersion{65535, 0, 0, 0}},
        {L"007", ContentVersion{7, 0, 0, 0}},        {L"", std::nullopt},
        {L"65536", std::nullopt},                    {L"1.2.3.4.5", std::nullopt},
        {L"1..2", std::nullopt},                     {L".1", std::nullopt},
        {L"1.", std::nullopt},                       {L"+1", std::nullopt},
        {L"1 ", std::nullopt},                       {L"v1", std::nullopt},
        {L"\u0661", std::nullopt},                   {L"0000000000001", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parse_content_version(c.name), c.version);
    }
    EXPECT_LT(*parse_content_version(L"2.9"), *parse_content_version(L"2.10"));
}

TEST(TrustContent, FlagTags) {
    EXPECT_EQ(flag_tags(0), "");
    EXPECT_EQ(flag_tags(13), "[embedded_signed][chained][is_corvane]");
    EXPECT_EQ(flag_tags(0xFF),
              "[embedded_signed][catalog_signed][chained][is_corvane][is_microsoft][is_whql][hash_whitelisted]"
              "[hash_blacklisted]");
    EXPECT_EQ(flag_tags(0x100 | 16), "[is_microsoft]");
}

// The built-in list parses and carries the profile's maker certificate.
TEST(TrustContent, BuiltinList) {
    const TrustContent& builtin = builtin_content();
    EXPECT_EQ(builtin.version, 0u);
    ASSERT_GE(builtin.certs.size(), 12u);
    const auto& maker = builtin.certs.back();
    EXPECT_EQ(maker.type, CertificateType::kMaker);
    const std::vector<std::uint8_t> dev = {0x9b, 0x20, 0x75, 0x7f, 0xe9, 0xe6, 0x57, 0x97, 0x3c, 0x0c,
                                           0xe3, 0x1c, 0xda, 0x8d, 0x52, 0x1f, 0x3a, 0x12, 0x31, 0x7d};
    EXPECT_EQ(maker.hash, dev);
    for (const auto& c : builtin.certs) {
        EXPECT_EQ(c.hash.size(), 20u);
    }
}

}  // namespace
}  // namespace rk::trust
