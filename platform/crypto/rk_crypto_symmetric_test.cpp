#include "platform/crypto/rk_crypto_symmetric.h"

#include <gtest/gtest.h>

#include <numeric>

#include "platform/logging/test/scoped_process_logger.h"

namespace RkCryptoLib {
namespace {

std::vector<std::uint8_t> pattern(std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> v(n);
    std::iota(v.begin(), v.end(), seed);
    return v;
}

struct Algorithm {
    CRYPTO_SYMMETRIC_ALG_ID id;
    std::size_t key;
};
constexpr Algorithm kAlgorithms[] = {
    {CRYPTO_SYMMETRIC_ALG_ID::AES128_CBC, 16},
    {CRYPTO_SYMMETRIC_ALG_ID::AES192_CBC, 24},
    {CRYPTO_SYMMETRIC_ALG_ID::AES256_CBC, 32},
};

TEST(CRkCryptoSymmetricWin, RoundTripsEveryKeySizeWithAndWithoutPadding) {
    const auto iv = pattern(16, 0xA0);
    for (const auto& alg : kAlgorithms) {
        const auto key = pattern(alg.key, 7);
        for (bool padding : {true, false}) {
            CRkCryptoSymmetricWin aes;
            ASSERT_EQ(aes.Initialize(alg.id, padding), STATUS_SUCCESS);
            std::size_t key_size = 0;
            std::size_t iv_size = 0;
            ASSERT_EQ(aes.GetKeyAndIVSizes(key_size, iv_size), STATUS_SUCCESS);
            EXPECT_EQ(key_size, alg.key);
            EXPECT_EQ(iv_size, 16u);
            EXPECT_EQ(aes.GetBlockLength(), 16u);
            ASSERT_EQ(aes.SetKeyIV(key.data(), key.size(), iv.data(), iv.size()), STATUS_SUCCESS);
            for (std::size_t n : {1, 15, 16, 17, 20, 32, 1000}) {
                SCOPED_TRACE(testing::Message() << alg.key << " padding " << padding << " n " << n);
                const auto plain = pattern(n, 1);
                std::vector<std::uint8_t> cipher;
                ASSERT_EQ(aes.Encrypt(plain.data(), plain.size(), cipher), STATUS_SUCCESS);
                // PKCS#7 always adds 1..16 bytes; zero-extension only fills
                // the last block.
                const std::size_t expected = padding ? (n / 16 + 1) * 16 : (n + 15) / 16 * 16;
                EXPECT_EQ(cipher.size(), expected);
                std::vector<std::uint8_t> again;
                ASSERT_EQ(aes.Encrypt(plain.data(), plain.size(), again), STATUS_SUCCESS);
                EXPECT_EQ(again, cipher) << "each call starts from the stored IV";
                std::vector<std::uint8_t> back;
                ASSERT_EQ(aes.Decrypt(cipher.data(), cipher.size(), back), STATUS_SUCCESS);
                auto want = plain;
                if (!padding) {
                    want.resize(expected, 0);
                }
                EXPECT_EQ(back, want);
            }
        }
    }
}

TEST(CRkCryptoSymmetricWin, ArgumentAndStateErrors) {
    const auto key = pattern(16, 0);
    const auto data = pattern(16, 0);
    std::vector<std::uint8_t> out;

    CRkCryptoSymmetricWin aes;
    EXPECT_EQ(aes.Encrypt(data.data(), data.size(), out), RKCRYPTO_E_NOT_INITIALIZED);
    EXPECT_EQ(aes.Decrypt(data.data(), data.size(), out), RKCRYPTO_E_NOT_INITIALIZED);
    ASSERT_EQ(aes.Initialize(CRYPTO_SYMMETRIC_ALG_ID::AES128_CBC, true), STATUS_SUCCESS);

    rk::logging::test::ScopedLogCapture capture1;
    EXPECT_EQ(aes.SetKeyIV(nullptr, 16, nullptr, 0), STATUS_INVALID_PARAMETER);
    auto lines = capture1.logger().Messages();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L"[RkCryptoLib::CRkCryptoSymmetricWin::SetKeyIV] STATUS_INVALID_PARAMETER: Null Key"),
              std::wstring::npos)
        << lines[0];

    // No key yet, then a key of the wrong size for AES-128.
    EXPECT_EQ(aes.Encrypt(data.data(), data.size(), out), STATUS_INVALID_PARAMETER);
    const auto long_key = pattern(24, 0);
    ASSERT_EQ(aes.SetKeyIV(long_key.data(), long_key.size(), nullptr, 0), STATUS_SUCCESS);
    rk::logging::test::ScopedLogCapture capture2;
    EXPECT_EQ(aes.Encrypt(data.data(), data.size(), out), STATUS_INVALID_PARAMETER);
    lines = capture2.logger().Messages();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L"It was not possible to generate the Symmetric Key"), std::wstring::npos);

    ASSERT_EQ(aes.SetKeyIV(key.data(), key.size(), nullptr, 0), STATUS_SUCCESS);
    EXPECT_EQ(aes.Encrypt(nullptr, 16, out), RKCRYPTO_E_INVALID_ARG);
    EXPECT_EQ(aes.Encrypt(data.data(), 0, out), RKCRYPTO_E_INVALID_ARG);
    EXPECT_EQ(aes.Decrypt(data.data(), 15, out), STATUS_INVALID_BUFFER_SIZE);

    // A wrong key leaves the PKCS#7 trailer invalid (fixed inputs: checked
    // once, deterministic).
    std::vector<std::uint8_t> cipher;
    ASSERT_EQ(aes.Encrypt(data.data(), data.size(), cipher), STATUS_SUCCESS);
    const auto other = pattern(16, 99);
    ASSERT_EQ(aes.SetKeyIV(other.data(), other.size(), nullptr, 0), STATUS_SUCCESS);
    EXPECT_EQ(aes.Decrypt(cipher.data(), cipher.size(), out), STATUS_DATA_ERROR);
    EXPECT_TRUE(out.empty());

    CRkCryptoSymmetricWin bad;
    EXPECT_EQ(bad.Initialize(static_cast<CRYPTO_SYMMETRIC_ALG_ID>(42), true), STATUS_NOT_SUPPORTED);
    EXPECT_EQ(bad.Encrypt(data.data(), data.size(), out), RKCRYPTO_E_NOT_INITIALIZED);
}

}  // namespace
}  // namespace RkCryptoLib
