#include "platform/crypto/rk_crypto_sign.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/crypto/ec_key_codec.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/test/read_file.h"
#include "platform/text/utf.h"
#include "profile/profile_data.h"

namespace RkCryptoLib {
namespace {

using rk::sys::test::read_file;

const std::uint8_t* bytes(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

struct Signer {
    CRkCryptoSignWin sign;
    Signer() {
        EXPECT_EQ(sign.Initialize(CRYPTO_SIGN_ALG_ID::ECDSA_P256), STATUS_SUCCESS);
        EXPECT_EQ(sign.GenerateKeyPair(), STATUS_SUCCESS);
    }
    std::vector<std::uint8_t> Sign(const std::string& message) {
        EXPECT_EQ(sign.AddData(bytes(message), message.size()), STATUS_SUCCESS);
        std::vector<std::uint8_t> sig;
        EXPECT_EQ(sign.GetSignature(sig), STATUS_SUCCESS);
        return sig;
    }
};

NTSTATUS Verify(const std::vector<std::uint8_t>& public_key, const std::string& message, const std::uint8_t* sig,
                std::size_t length) {
    CRkCryptoSignWin verifier;
    EXPECT_EQ(verifier.Initialize(CRYPTO_SIGN_ALG_ID::ECDSA_P256), STATUS_SUCCESS);
    EXPECT_EQ(verifier.ImportPublicKey(public_key.data(), public_key.size()), STATUS_SUCCESS);
    EXPECT_EQ(verifier.AddData(bytes(message), message.size()), STATUS_SUCCESS);
    return verifier.VerifySignature(sig, length);
}

TEST(CRkCryptoSignWin, GeneratedKeysSignAndVerifyRoundTrip) {
    Signer signer;
    ASSERT_EQ(signer.sign.GetPublicKey().size(), 64u);
    ASSERT_EQ(signer.sign.GetPrivateKey().size(), 96u);
    const std::string message = "var x = 1;\r\n";
    const auto sig = signer.Sign(message);
    ASSERT_EQ(sig.size(), 64u);
    EXPECT_EQ(Verify(signer.sign.GetPublicKey(), message, sig.data(), sig.size()), STATUS_SUCCESS);

    // An exported private key imported elsewhere signs for the same public key.
    CRkCryptoSignWin other;
    ASSERT_EQ(other.Initialize(CRYPTO_SIGN_ALG_ID::ECDSA_P256), STATUS_SUCCESS);
    const auto& priv = signer.sign.GetPrivateKey();
    ASSERT_EQ(other.ImportPrivateKey(priv.data(), priv.size()), STATUS_SUCCESS);
    EXPECT_EQ(other.GetPublicKey(), signer.sign.GetPublicKey());
    ASSERT_EQ(other.AddData(bytes(message), message.size()), STATUS_SUCCESS);
    std::vector<std::uint8_t> sig2;
    ASSERT_EQ(other.GetSignature(sig2), STATUS_SUCCESS);
    EXPECT_EQ(Verify(signer.sign.GetPublicKey(), message, sig2.data(), sig2.size()), STATUS_SUCCESS);
}

TEST(CRkCryptoSignWin, AlteredMessageOrSignatureDoesNotVerify) {
    Signer signer;
    const std::string message = "document body";
    const auto sig = signer.Sign(message);
    const auto& pub = signer.sign.GetPublicKey();

    EXPECT_EQ(Verify(pub, "document bodY", sig.data(), sig.size()), STATUS_INVALID_SIGNATURE);
    for (std::size_t i : {std::size_t{0}, std::size_t{31}, std::size_t{32}, std::size_t{63}}) {
        auto bad = sig;
        bad[i] ^= 0x01;
        EXPECT_EQ(Verify(pub, message, bad.data(), bad.size()), STATUS_INVALID_SIGNATURE) << i;
    }
    Signer stranger;
    EXPECT_EQ(Verify(stranger.sign.GetPublicKey(), message, sig.data(), sig.size()), STATUS_INVALID_SIGNATURE);
    const std::vector<std::uint8_t> zeros(64, 0);
    rk::logging::test::ScopedLogCapture capture;
    EXPECT_EQ(Verify(pub, message, zeros.data(), zeros.size()), STATUS_INVALID_SIGNATURE);
    // A mismatch logs its one line, as every failed operation does.
    const auto lines = capture.logger().Messages();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L"][RkCryptoLib::CRkCryptoSignWin::VerifySignature] STATUS_UNKNOWN: "
                            L"Error trying to BCryptVerifySignature"),
              std::wstring::npos)
        << rk::text::wide_to_utf8(lines[0]);
}

TEST(CRkCryptoSignWin, SignatureLengthAndStateChecksComeFirst) {
    Signer signer;
    const auto sig = signer.Sign("m");
    const std::vector<std::uint8_t> longer(65, 1);
    rk::logging::test::ScopedLogCapture capture1;
    // Wrong lengths are refused before any digest or key work, so the
    // verifier's added data is still there for a later good call.
    CRkCryptoSignWin v;
    ASSERT_EQ(v.Initialize(CRYPTO_SIGN_ALG_ID::ECDSA_P256), STATUS_SUCCESS);
    ASSERT_EQ(v.ImportPublicKey(signer.sign.GetPublicKey().data(), 64), STATUS_SUCCESS);
    ASSERT_EQ(v.AddData(reinterpret_cast<const std::uint8_t*>("m"), 1), STATUS_SUCCESS);
    EXPECT_EQ(v.VerifySignature(sig.data(), 63), RKCRYPTO_E_INVALID_ARG);
    EXPECT_EQ(v.VerifySignature(longer.data(), longer.size()), RKCRYPTO_E_INVALID_ARG);
    EXPECT_EQ(v.VerifySignature(nullptr, 64), RKCRYPTO_E_INVALID_ARG);
    EXPECT_EQ(v.VerifySignature(sig.data(), sig.size()), STATUS_SUCCESS);
    EXPECT_TRUE(capture1.logger().Messages().empty());

    CRkCryptoSignWin fresh;
    EXPECT_EQ(fresh.VerifySignature(sig.data(), sig.size()), RKCRYPTO_E_NOT_INITIALIZED);
    EXPECT_EQ(fresh.ImportPublicKey(signer.sign.GetPublicKey().data(), 64), RKCRYPTO_E_NOT_INITIALIZED);
    EXPECT_EQ(fresh.GenerateKeyPair(), RKCRYPTO_E_NOT_INITIALIZED);

    // Initialised but without a key: no handle to verify with.
    ASSERT_EQ(fresh.Initialize(CRYPTO_SIGN_ALG_ID::ECDSA_P256), STATUS_SUCCESS);
    ASSERT_EQ(fresh.AddData(reinterpret_cast<const std::uint8_t*>("m"), 1), STATUS_SUCCESS);
    EXPECT_EQ(fresh.VerifySignature(sig.data(), sig.size()), STATUS_INVALID_HANDLE);
    std::vector<std::uint8_t> out;
    EXPECT_EQ(fresh.GetSignature(out), STATUS_INVALID_HANDLE);
}

TEST(CRkCryptoSignWin, KeyBlobLayouts) {
    Signer signer;
    const auto& pub = signer.sign.GetPublicKey();
    const auto& priv = signer.sign.GetPrivateKey();
    std::vector<std::uint8_t> blob;
    ASSERT_EQ(signer.sign.MakeWinKeyPairBlob(0x31534345, pub.data(), pub.size(), blob), STATUS_SUCCESS);
    ASSERT_EQ(blob.size(), 72u);
    EXPECT_EQ(std::string(blob.begin(), blob.begin() + 4), "ECS1");
    EXPECT_EQ(blob[4], 32);
    EXPECT_EQ(blob[5] | blob[6] | blob[7], 0);
    EXPECT_TRUE(std::equal(pub.begin(), pub.end(), blob.begin() + 8));

    ASSERT_EQ(signer.sign.MakeWinKeyPairBlob(0x32534345, priv.data(), priv.size(), blob), STATUS_SUCCESS);
    ASSERT_EQ(blob.size(), 104u);
    EXPECT_EQ(std::string(blob.begin(), blob.begin() + 4), "ECS2");
    std::vector<std::uint8_t> back;
    ASSERT_EQ(signer.sign.ExtractKeyData(blob, back), STATUS_SUCCESS);
    EXPECT_EQ(back, priv);

    // A public key where a private blob is asked for, or a bad header.
    EXPECT_EQ(signer.sign.MakeWinKeyPairBlob(0x32534345, pub.data(), pub.size(), blob), RKCRYPTO_E_INVALID_ARG);
    std::vector<std::uint8_t> short_blob(blob.begin(), blob.begin() + 7);
    EXPECT_EQ(signer.sign.ExtractKeyData(short_blob, back), RKCRYPTO_E_INVALID_ARG);

    rk::logging::test::ScopedLogCapture capture2;
    blob[0] = 0x78;
    blob[1] = 0x56;
    blob[2] = 0x34;
    blob[3] = 0x12;
    EXPECT_EQ(signer.sign.ExtractKeyData(blob, back), STATUS_INVALID_PARAMETER);
    const auto lines = capture2.logger().Messages();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L"STATUS_INVALID_PARAMETER: Invalid Blob Type (0x12345678) specified"),
              std::wstring::npos)
        << lines[0];
}

TEST(CRkCryptoSignWin, RejectsKeysThatAreNotOnTheCurveOrDoNotPair) {
    CRkCryptoSignWin sign;
    ASSERT_EQ(sign.Initialize(CRYPTO_SIGN_ALG_ID::ECDSA_P256), STATUS_SUCCESS);
    std::vector<std::uint8_t> off_curve(64, 0x11);
    EXPECT_EQ(sign.ImportPublicKey(off_curve.data(), off_curve.size()), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(sign.ImportPublicKey(off_curve.data(), 63), RKCRYPTO_E_INVALID_ARG);

    Signer a;
    Signer b;
    auto mixed = a.sign.GetPrivateKey();
    std::copy(b.sign.GetPublicKey().begin(), b.sign.GetPublicKey().end(), mixed.begin());
    EXPECT_EQ(sign.ImportPrivateKey(mixed.data(), mixed.size()), STATUS_INVALID_PARAMETER);
}

// The development key files and the public keys compiled in from the profile
// must belong together, or nothing signed in development would verify.
TEST(DevelopmentKeys, PemFilesMatchTheProfile) {
    const std::string dir = std::string(RK_SOURCE_DIR) + "/profile/dev-keys/";
    const struct {
        const char* name;
        std::span<const std::uint8_t> profile_key;
    } cases[] = {{"script", rk::profile::kScriptPublicKey}, {"document", rk::profile::kDocumentPublicKey}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto priv = rk::crypto::private_key_from_pem(read_file(dir + c.name + ".key.pem"));
        const auto pub = rk::crypto::public_key_from_pem(read_file(dir + c.name + ".pub.pem"));
        ASSERT_TRUE(priv && pub);
        EXPECT_TRUE(std::equal(pub->begin(), pub->end(), c.profile_key.begin(), c.profile_key.end()));
        EXPECT_TRUE(std::equal(pub->begin(), pub->end(), priv->begin()));
    }
}

}  // namespace
}  // namespace RkCryptoLib
