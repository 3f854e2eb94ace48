#include "script_host/signature_check.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/crypto/ec_key_codec.h"
#include "platform/crypto/rk_crypto_sign.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/test/read_file.h"
#include "script_host/script_signer.h"

namespace SignatureCheck {
namespace {

using rk::script::SignatureLineForm;
using rk::sys::test::read_file;

const std::uint8_t* bytes(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

class ScriptSignature : public testing::Test {
protected:
    void SetUp() override {
        RkCryptoLib::CRkCryptoSignWin gen;
        ASSERT_EQ(gen.Initialize(RkCryptoLib::CRYPTO_SIGN_ALG_ID::ECDSA_P256), 0);
        ASSERT_EQ(gen.GenerateKeyPair(), 0);
        private_key_ = gen.GetPrivateKey();
        public_key_ = gen.GetPublicKey();
    }

    std::string Sign(const std::string& text, SignatureLineForm form = SignatureLineForm::kAuto) {
        auto signed_text = rk::script::sign_script(text, private_key_, form);
        EXPECT_TRUE(signed_text);
        return signed_text.value_or("");
    }

    // The result and the lines the check logged.
    std::pair<bool, std::vector<std::wstring>> Check(const std::string& text) {
        rk::logging::test::ScopedLogCapture capture;
        const bool ok = VerifySignatureWithKey(bytes(text), text.size(), public_key_);
        return {ok, capture.logger().Messages()};
    }

    std::vector<std::uint8_t> private_key_;
    std::vector<std::uint8_t> public_key_;
};

TEST_F(ScriptSignature, BothLineFormsRoundTrip) {
    const std::string script = "function main() { return 1; }\r\n";
    const std::string markup = "<html><script>x()</script><!-- end -->";
    const struct {
        std::string text;
        SignatureLineForm form;
        const char* ending;
    } cases[] = {
        {script, SignatureLineForm::kAuto, "++"},
        {markup, SignatureLineForm::kAuto, "-->"},
        {script, SignatureLineForm::kMarkup, "-->"},
        {"x", SignatureLineForm::kScript, "++"},
        {"", SignatureLineForm::kScript, "++"},
    };
    for (const auto& c : cases) {
        const std::string signed_text = Sign(c.text, c.form);
        ASSERT_TRUE(signed_text.ends_with(c.ending)) << signed_text;
        const auto [ok, lines] = Check(signed_text);
        EXPECT_TRUE(ok) << c.text;
        EXPECT_TRUE(lines.empty());
    }
}

TEST_F(ScriptSignature, AnyChangedByteBeforeTheLineBreakFails) {
    const std::string text = "var a = 1;\nvar b = 2;\n";
    const std::string good = Sign(text);
    for (std::size_t i : {std::size_t{0}, text.size() / 2, text.size() - 1}) {
        std::string bad = good;
        bad[i] = static_cast<char>(bad[i] ^ 0x20);
        const auto [ok, lines] = Check(bad);
        EXPECT_FALSE(ok) << i;
        // The crypto library's mismatch line, then the check's own.
        ASSERT_EQ(lines.size(), 2u) << i;
        EXPECT_NE(lines[0].find(L"Error trying to BCryptVerifySignature"), std::wstring::npos) << i;
        EXPECT_EQ(lines[1], L"Signature Verification failed") << i;
    }
}

TEST_F(ScriptSignature, OpeningAndClosingAreLocatedNotCompared) {
    const std::string text = "x();";
    const std::string good = Sign(text, SignatureLineForm::kScript);
    const std::size_t opening = text.size();
    const std::size_t positions[] = {opening, opening + 1, opening + 2, opening + 3, good.size() - 1};
    for (std::size_t i : positions) {
        std::string changed = good;
        changed[i] = '#';
        EXPECT_TRUE(Check(changed).first) << i;
    }
}

TEST_F(ScriptSignature, MalformedSignatureLinesAndABadKeyFailWithTheirLogLine) {
    const std::string text = "go();";
    const std::string good = Sign(text, SignatureLineForm::kScript);
    const std::string hex = good.substr(text.size() + 4, 128);
    std::string upper = hex;
    for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string odd = hex;
    odd[77] = ' ';  // 38 good pairs, then a broken one
    const struct {
        std::string text;
        bool ok;
        std::wstring line;
    } cases[] = {
        {text + "\r\n//" + upper + "++", true, L""},
        {text + "\r\n//g" + hex.substr(1) + "++", false, L"Unable to convert hex string into binary"},
        {text + "\r\n//" + odd + "++", false, L"Signature Verification failed"},
        // A 63-byte signature: the fixed 128-digit window then starts inside
        // the opening, at a '/'.
        {text + "\r\n//" + hex.substr(0, 126) + "++", false, L"Unable to convert hex string into binary"},
        // 63 good pairs, then a broken one: too short for the verifier.
        {text + "\r\n//" + hex.substr(0, 126) + "zz++", false, L"Signature Verification failed"},
        {"", false, L"Failed to parse the signature info buffer"},
        {"++", false, L"Failed to parse the signature info buffer"},
        {std::string(130, 'a'), false, L"Failed to parse the signature info buffer"},
        {std::string(131, 'a'), false, L"Failed to parse the signature info buffer"},
        {std::string(133, 'a') + "++", false, L"Signature Verification failed"},
        {std::string(133, 'a') + "-->", false, L"Failed to parse the signature info buffer"},
        {std::string(134, 'a') + "-->", false, L"Signature Verification failed"},
        // A "-->" closing selects the markup form even after the script-form
        // opening: the signature line is then taken two bytes too far left.
        {text + "\r\n//" + hex + "-->", false, L"Signature Verification failed"},
    };
    for (const auto& c : cases) {
        const auto [ok, lines] = Check(c.text);
        EXPECT_EQ(ok, c.ok) << c.text;
        if (c.ok) {
            EXPECT_TRUE(lines.empty());
        } else {
            // The check's own line comes last (after a mismatch line of the
            // crypto library where the signature was verified).
            ASSERT_FALSE(lines.empty()) << c.text;
            EXPECT_LE(lines.size(), 2u) << c.text;
            EXPECT_EQ(lines.back(), c.line) << c.text;
        }
    }
    rk::logging::test::ScopedLogCapture capture;
    EXPECT_FALSE(VerifySignatureWithKey(nullptr, 200, public_key_));
    EXPECT_TRUE(capture.logger().Contains(L"Failed to parse the signature info buffer"));
    const std::vector<std::uint8_t> off_curve(64, 0x22);
    EXPECT_FALSE(VerifySignatureWithKey(bytes(good), good.size(), off_curve));
    EXPECT_TRUE(capture.logger().Contains(L"Failed to set the public key"));
}

// The development profile's script key: scripts signed with the repository's
// development key verify with the built-in key, others do not.
TEST(ProfileScriptKey, DevelopmentKeyVerifiesDocumentKeyDoesNot) {
    const std::string dir = std::string(RK_SOURCE_DIR) + "/profile/dev-keys/";
    const auto script_key = rk::crypto::private_key_from_pem(read_file(dir + "script.key.pem"));
    const auto document_key = rk::crypto::private_key_from_pem(read_file(dir + "document.key.pem"));
    ASSERT_TRUE(script_key && document_key);
    const std::string text = "bootstrap();\r\n";
    const auto by_script_key = rk::script::sign_script(text, *script_key);
    const auto by_document_key = rk::script::sign_script(text, *document_key);
    ASSERT_TRUE(by_script_key && by_document_key);
    EXPECT_TRUE(VerifySignature(bytes(*by_script_key), by_script_key->size()));
    EXPECT_FALSE(VerifySignature(bytes(*by_document_key), by_document_key->size()));
}

}  // namespace
}  // namespace SignatureCheck
