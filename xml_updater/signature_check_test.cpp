#include "xml_updater/signature_check.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/crypto/ec_key_codec.h"
#include "platform/crypto/rk_crypto_sign.h"
#include "platform/crypto/test/openssl_cli.h"
#include "platform/text/strings.h"
#include "xml_updater/document_signer.h"
#include "xml_updater/substitutions/test/log_capture.h"
#include "xml_updater/xml_updater_log.h"

namespace NSignatureCheck {
namespace {

using rk::xmlsig::TrailerForm;

using XMLUpdater::v2::test::LogCapture;

const std::uint8_t* bytes(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

const std::string kDocument =
    "<?xml version=\"1.0\"?>\r\n<UpdateArray><Update name=\"a\"/></UpdateArray>";

class DocumentSignature : public testing::Test {
protected:
    void SetUp() override {
        RkCryptoLib::CRkCryptoSignWin gen;
        ASSERT_EQ(gen.Initialize(RkCryptoLib::CRYPTO_SIGN_ALG_ID::ECDSA_P256), 0);
        ASSERT_EQ(gen.GenerateKeyPair(), 0);
        private_key_ = gen.GetPrivateKey();
        public_key_ = gen.GetPublicKey();
    }
    std::string Sign(const std::string& doc, TrailerForm form) {
        return rk::xmlsig::sign_document(doc, private_key_, form).value_or("");
    }
    bool Check(const std::string& buffer, std::size_t& n) {
        return VerifySignatureWithKey(bytes(buffer), buffer.size(), public_key_, n);
    }
    std::vector<std::uint8_t> private_key_;
    std::vector<std::uint8_t> public_key_;
};

TEST_F(DocumentSignature, BothTrailerFormsGiveTheSignedLengthFrom131Or130BytesFromTheEnd) {
    for (const auto& doc : {kDocument, std::string("x"), std::string()}) {
        for (auto form : {TrailerForm::kXmlComment, TrailerForm::kPlain}) {
            const std::string buffer = Sign(doc, form);
            std::size_t n = 12345;
            EXPECT_TRUE(Check(buffer, n)) << doc;
            EXPECT_EQ(n, doc.size());
        }
    }

    // The signature is read at 131 or 130 bytes from the end.
    const std::string xml = Sign(kDocument, TrailerForm::kXmlComment);
    const std::string plain = Sign(kDocument, TrailerForm::kPlain);
    // The same digits framed by arbitrary openings of the right lengths.
    const std::string hex = xml.substr(xml.size() - 131, 128);
    EXPECT_EQ(plain.substr(plain.size() - 130, 128).find_first_not_of("0123456789abcdef"), std::string::npos);
    std::size_t n = 0;
    EXPECT_TRUE(Check(kDocument + "abcdef" + hex + "-->", n));
    EXPECT_TRUE(Check(kDocument + "abcd" + hex + "zz", n));
    // One byte more or less in front of the digits moves the window.
    EXPECT_FALSE(Check(kDocument + "abcde" + hex + "-->", n));
    EXPECT_FALSE(Check(kDocument + "abc" + hex + "zz", n));
}

TEST_F(DocumentSignature, SignedPartIsProtectedTrailerFramingIsNot) {
    const struct {
        TrailerForm form;
        std::size_t opening;
        std::size_t closing_changeable;  // "-->" itself selects the form
    } cases[] = {{TrailerForm::kXmlComment, 6, 0}, {TrailerForm::kPlain, 4, 2}};
    for (const auto& c : cases) {
        const std::string good = Sign(kDocument, c.form);
        std::size_t n = 0;
        for (std::size_t i = 0; i < kDocument.size(); i += 7) {
            std::string bad = good;
            bad[i] = static_cast<char>(bad[i] ^ 0x01);
            EXPECT_FALSE(Check(bad, n)) << i;
        }
        for (std::size_t i = 0; i < c.opening; ++i) {
            std::string changed = good;
            changed[kDocument.size() + i] = '#';
            EXPECT_TRUE(Check(changed, n)) << "opening byte " << i;
        }
        for (std::size_t i = 0; i < c.closing_changeable; ++i) {
            std::string changed = good;
            changed[good.size() - 1 - i] = '#';
            EXPECT_TRUE(Check(changed, n)) << "closing byte " << i;
        }
    }
}

TEST_F(DocumentSignature, BadBuffersFailWithTheirLogLines) {
    const std::string good = Sign(kDocument, TrailerForm::kPlain);
    std::string non_hex = good;
    non_hex[good.size() - 2 - 50] = 'x';
    const struct {
        std::string buffer;
        std::vector<std::wstring> lines;
    } cases[] = {
        {"", {L"File Signature Verification failed"}},
        {"-->", {L"File Signature Verification failed"}},
        {std::string(133, 'a'), {L"File Signature Verification failed"}},                // trailer longer than the text
        {std::string(133, 'a') + "-->", {L"File Signature Verification failed"}},        // N = -1
        {std::string(134, '0') + "-->", {L"File Signature Verification failed"}},        // N = 0, all-zero signature
        {std::string(134, 'f'), {L"File Signature Verification failed"}},                // plain form, N = 0
        {non_hex, {L"Unable to convert hex string into binary", L"File Signature Verification failed"}},
        {good.substr(0, good.size() - 1), {L"Unable to convert hex string into binary", L"File Signature Verification failed"}},
    };
    for (const auto& c : cases) {
        LogCapture log;
        std::size_t n = 777;
        EXPECT_FALSE(Check(c.buffer, n)) << c.buffer;
        EXPECT_EQ(n, 777u);
        std::vector<std::wstring> texts;
        for (const auto& line : log.lines) {
            texts.push_back(line.text);
            EXPECT_EQ(line.level, XMLUpdater::v2::kXmlLogError);
        }
        EXPECT_EQ(texts, c.lines) << c.buffer;
    }
    LogCapture log;
    std::size_t n = 0;
    EXPECT_FALSE(ForceVerifySignature(nullptr, 500, n));
    EXPECT_EQ(log.Dump(), L"1: File Signature Verification failed\n");
}

TEST(ProfileDocumentKey, OpensslSignedDocumentVerifiesWithTheBuiltInKey) {
    if (!rk::test::OpensslCli::available()) {
        GTEST_SKIP() << "openssl command line not installed";
    }
    rk::test::OpensslCli cli;
    cli.write("doc.xml", kDocument);
    const std::string dir = std::string(RK_SOURCE_DIR) + "/profile/dev-keys/";
    for (const char* key : {"document", "script"}) {
        ASSERT_EQ(cli.run("dgst -sha256 -sign " + dir + key + ".key.pem -out sig.der doc.xml"), 0);
        const auto raw = rk::crypto::signature_from_der(cli.read("sig.der"));
        ASSERT_TRUE(raw);
        const std::string buffer = kDocument + "\r\n<!--" + rk::text::to_hex(*raw, true) + "-->";
        std::size_t n = 0;
        EXPECT_EQ(ForceVerifySignature(bytes(buffer), buffer.size(), n), std::string(key) == "document") << key;
    }
}

TEST(XmlUpdaterLog, LongMessagesAreCutAndAnnounced) {
    LogCapture log;
    const std::wstring long_text(600, L'a');
    XMLUpdater::v2::XmlUpdaterLog(4, L"f.cpp", L"F", 1, L"%ls", long_text);
    XMLUpdater::v2::XmlUpdaterLog(3, L"f.cpp", L"F", 2, L"%d items", 5);
    EXPECT_EQ(log.Dump(), L"1: Failed to create log message string\n4: " + std::wstring(511, L'a') + L"\n3: 5 items\n");
}

}  // namespace
}  // namespace NSignatureCheck
