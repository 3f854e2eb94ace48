// Independent cross-checks against the openssl command line, run as a child
// process: signatures both ways, AES against `openssl enc`, and key files both
// ways. (Digests are checked against published known answers.)
#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "platform/crypto/ec_key_codec.h"
#include "platform/crypto/rk_crypto_sign.h"
#include "platform/crypto/rk_crypto_symmetric.h"
#include "platform/crypto/test/openssl_cli.h"
#include "platform/text/strings.h"

namespace RkCryptoLib {
namespace {

using rk::test::OpensslCli;

std::string as_text(const std::vector<std::uint8_t>& v) { return {v.begin(), v.end()}; }

class OpensslCrossCheck : public testing::Test {
protected:
    void SetUp() override {
        if (!OpensslCli::available()) {
            GTEST_SKIP() << "openssl command line not installed";
        }
    }
    OpensslCli cli_;
};

const std::string kMessages[] = {"", "a", "var main = function() {};\r\n", std::string(100000, 'z')};

TEST_F(OpensslCrossCheck, OpensslSignaturesVerifyInTheProject) {
    ASSERT_EQ(cli_.run("ecparam -name prime256v1 -genkey -noout -out key.pem"), 0);
    ASSERT_EQ(cli_.run("ec -in key.pem -pubout -out pub.pem"), 0);
    const auto pub = rk::crypto::public_key_from_pem(as_text(cli_.read("pub.pem")));
    ASSERT_TRUE(pub);
    for (const auto& message : kMessages) {
        cli_.write("data", message);
        ASSERT_EQ(cli_.run("dgst -sha256 -sign key.pem -out sig.der data"), 0);
        const auto raw = rk::crypto::signature_from_der(cli_.read("sig.der"));
        ASSERT_TRUE(raw);
        CRkCryptoSignWin v;
        ASSERT_EQ(v.Initialize(CRYPTO_SIGN_ALG_ID::ECDSA_P256), STATUS_SUCCESS);
        ASSERT_EQ(v.ImportPublicKey(pub->data(), pub->size()), STATUS_SUCCESS);
        ASSERT_EQ(v.AddData(reinterpret_cast<const std::uint8_t*>(message.data()), message.size()), STATUS_SUCCESS);
        EXPECT_EQ(v.VerifySignature(raw->data(), raw->size()), STATUS_SUCCESS) << message.size();
    }
}

TEST_F(OpensslCrossCheck, ProjectSignaturesVerifyWithOpenssl) {
    CRkCryptoSignWin signer;
    ASSERT_EQ(signer.Initialize(CRYPTO_SIGN_ALG_ID::ECDSA_P256), STATUS_SUCCESS);
    ASSERT_EQ(signer.GenerateKeyPair(), STATUS_SUCCESS);
    cli_.write("pub.pem", rk::crypto::public_key_to_pem(signer.GetPublicKey()));
    cli_.write("key.pem", rk::crypto::private_key_to_pem(signer.GetPrivateKey()));
    // The key file the tool writes is one openssl accepts as a valid key.
    EXPECT_EQ(cli_.run("pkey -in key.pem -check -noout"), 0);
    for (const auto& message : kMessages) {
        cli_.write("data", message);
        ASSERT_EQ(signer.AddData(reinterpret_cast<const std::uint8_t*>(message.data()), message.size()),
                  STATUS_SUCCESS);
        std::vector<std::uint8_t> sig;
        ASSERT_EQ(signer.GetSignature(sig), STATUS_SUCCESS);
        cli_.write("sig.der", rk::crypto::signature_to_der(sig));
        EXPECT_EQ(cli_.run("dgst -sha256 -verify pub.pem -signature sig.der data"), 0) << message.size();
        EXPECT_NE(as_text(cli_.read("out")).find("Verified OK"), std::string::npos);
        // And a flipped bit in r is refused by openssl too.
        sig[5] ^= 0x10;
        cli_.write("sig.der", rk::crypto::signature_to_der(sig));
        EXPECT_EQ(cli_.run("dgst -sha256 -verify pub.pem -signature sig.der data"), 1);
    }
}

TEST_F(OpensslCrossCheck, AesEqualsOpensslEnc) {
    const struct {
        CRYPTO_SYMMETRIC_ALG_ID id;
        const char* name;
        std::size_t key;
    } algs[] = {{CRYPTO_SYMMETRIC_ALG_ID::AES128_CBC, "aes-128-cbc", 16},
                {CRYPTO_SYMMETRIC_ALG_ID::AES192_CBC, "aes-192-cbc", 24},
                {CRYPTO_SYMMETRIC_ALG_ID::AES256_CBC, "aes-256-cbc", 32}};
    std::vector<std::uint8_t> iv(16);
    std::iota(iv.begin(), iv.end(), 0xF0);
    for (const auto& alg : algs) {
        std::vector<std::uint8_t> key(alg.key);
        std::iota(key.begin(), key.end(), 0x11);
        for (bool padding : {true, false}) {
            for (std::size_t n : {5, 16, 20, 47}) {
                SCOPED_TRACE(testing::Message() << alg.name << " padding " << padding << " n " << n);
                std::vector<std::uint8_t> plain(n);
                std::iota(plain.begin(), plain.end(), 3);
                CRkCryptoSymmetricWin aes;
                ASSERT_EQ(aes.Initialize(alg.id, padding), STATUS_SUCCESS);
                ASSERT_EQ(aes.SetKeyIV(key.data(), key.size(), iv.data(), iv.size()), STATUS_SUCCESS);
                std::vector<std::uint8_t> ours;
                ASSERT_EQ(aes.Encrypt(plain.data(), plain.size(), ours), STATUS_SUCCESS);
                // openssl -nopad takes whole blocks only: give it the
                // zero-extended input that padding off stands for.
                auto input = plain;
                if (!padding) {
                    input.resize((n + 15) / 16 * 16, 0);
                }
                cli_.write("plain", input);
                ASSERT_EQ(cli_.run(std::string("enc -") + alg.name + " -K " + rk::text::to_hex(key) + " -iv " +
                                   rk::text::to_hex(iv) + (padding ? "" : " -nopad") + " -in plain -out cipher"),
                          0);
                EXPECT_EQ(ours, cli_.read("cipher"));
            }
        }
    }
}

TEST_F(OpensslCrossCheck, KeyFormsOpensslWritesAreRead) {
    ASSERT_EQ(cli_.run("ecparam -name prime256v1 -genkey -noout -out sec1.pem"), 0);
    ASSERT_EQ(cli_.run("pkcs8 -topk8 -nocrypt -in sec1.pem -out pkcs8.pem"), 0);
    ASSERT_EQ(cli_.run("ec -in sec1.pem -pubout -conv_form compressed -out pubc.pem"), 0);
    ASSERT_EQ(cli_.run("ecparam -name secp384r1 -genkey -noout -out p384.pem"), 0);
    const auto sec1 = rk::crypto::private_key_from_pem(as_text(cli_.read("sec1.pem")));
    const auto pkcs8 = rk::crypto::private_key_from_pem(as_text(cli_.read("pkcs8.pem")));
    const auto compressed = rk::crypto::public_key_from_pem(as_text(cli_.read("pubc.pem")));
    ASSERT_TRUE(sec1 && pkcs8 && compressed);
    EXPECT_EQ(*sec1, *pkcs8);
    EXPECT_TRUE(std::equal(compressed->begin(), compressed->end(), sec1->begin()));
    EXPECT_FALSE(rk::crypto::private_key_from_pem(as_text(cli_.read("p384.pem"))));
    EXPECT_FALSE(rk::crypto::public_key_from_pem("not a key"));
}

}  // namespace
}  // namespace RkCryptoLib
