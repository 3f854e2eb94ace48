#include "platform/crypto/rk_crypto_hash.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/crypto/rk_crypto_error.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/text/strings.h"

namespace RkCryptoLib {
namespace {

std::string digest_hex(CRYPTO_HASH_ALG_ID alg, const std::string& text) {
    CRkCryptoHashWin hash;
    EXPECT_EQ(hash.Initialize(alg), STATUS_SUCCESS);
    EXPECT_EQ(hash.AddToHash(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), STATUS_SUCCESS);
    std::vector<std::uint8_t> out;
    EXPECT_EQ(hash.GetFinalHash(out), STATUS_SUCCESS);
    return rk::text::to_hex(out);
}

struct KnownAnswer {
    CRYPTO_HASH_ALG_ID alg;
    std::string input;
    std::string hex;
    std::size_t block;
};

TEST(CRkCryptoHashWin, KnownAnswersAndLengths) {
    const KnownAnswer cases[] = {
        {CRYPTO_HASH_ALG_ID::SHA256, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", 64},
        {CRYPTO_HASH_ALG_ID::SHA256, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", 64},
        {CRYPTO_HASH_ALG_ID::SHA384, "abc",
         "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7", 128},
        {CRYPTO_HASH_ALG_ID::SHA512, "abc",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e"
         "2a9ac94fa54ca49f",
         128},
        {CRYPTO_HASH_ALG_ID::MD5, "abc", "900150983cd24fb0d6963f7d28e17f72", 64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hex);
        EXPECT_EQ(digest_hex(c.alg, c.input), c.hex);
        CRkCryptoHashWin hash;
        ASSERT_EQ(hash.Initialize(c.alg), STATUS_SUCCESS);
        EXPECT_EQ(hash.GetHashLength(), c.hex.size() / 2);
        EXPECT_EQ(hash.GetBlockLength(), c.block);
    }
}

TEST(CRkCryptoHashWin, ChunkedInputAndReuseAfterFinal) {
    const std::string text(1000, 'x');
    CRkCryptoHashWin hash;
    ASSERT_EQ(hash.Initialize(CRYPTO_HASH_ALG_ID::SHA256), STATUS_SUCCESS);
    std::vector<std::uint8_t> first;
    std::vector<std::uint8_t> second;
    for (std::size_t off = 0; off < text.size(); off += 333) {
        const std::size_t n = std::min<std::size_t>(333, text.size() - off);
        ASSERT_EQ(hash.AddToHash(reinterpret_cast<const std::uint8_t*>(text.data()) + off, n), STATUS_SUCCESS);
    }
    ASSERT_EQ(hash.GetFinalHash(first), STATUS_SUCCESS);
    // The object starts over after GetFinalHash: the same message again
    // gives the same digest, not a digest of both.
    ASSERT_EQ(hash.AddToHash(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), STATUS_SUCCESS);
    ASSERT_EQ(hash.GetFinalHash(second), STATUS_SUCCESS);
    EXPECT_EQ(first, second);
    EXPECT_EQ(rk::text::to_hex(first), digest_hex(CRYPTO_HASH_ALG_ID::SHA256, text));
}

TEST(CRkCryptoHashWin, FinalWithoutDataIsInvalidStateWithLogLine) {
    CRkCryptoHashWin hash;
    ASSERT_EQ(hash.Initialize(CRYPTO_HASH_ALG_ID::SHA256), STATUS_SUCCESS);
    rk::logging::test::ScopedLogCapture capture1;
    std::vector<std::uint8_t> out;
    EXPECT_EQ(hash.GetFinalHash(out), STATUS_INVALID_STATE);
    const auto lines = capture1.logger().Messages();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(L"[rk_crypto_hash.cpp:(", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(L")][RkCryptoLib::CRkCryptoHashWin::GetFinalHash] STATUS_INVALID_STATE: "
                                 L"No data was added to hash"),
              std::wstring::npos)
        << lines[0];
    // After a finished digest the flag is cleared again.
    const std::uint8_t byte = 1;
    ASSERT_EQ(hash.AddToHash(&byte, 1), STATUS_SUCCESS);
    ASSERT_EQ(hash.GetFinalHash(out), STATUS_SUCCESS);
    EXPECT_EQ(hash.GetFinalHash(out), STATUS_INVALID_STATE);
}

TEST(CRkCryptoHashWin, MisuseResults) {
    CRkCryptoHashWin hash;
    std::vector<std::uint8_t> out;
    const std::uint8_t byte = 0;
    EXPECT_EQ(hash.AddToHash(&byte, 1), RKCRYPTO_E_NOT_INITIALIZED);
    EXPECT_EQ(hash.GetFinalHash(out), RKCRYPTO_E_NOT_INITIALIZED);

    rk::logging::test::ScopedLogCapture capture2;
    EXPECT_EQ(hash.Initialize(static_cast<CRYPTO_HASH_ALG_ID>(99)), STATUS_NOT_SUPPORTED);
    const auto lines = capture2.logger().Messages();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L"][RkCryptoLib::CRkCryptoHashWin::Initialize] Failed to create hash traits."),
              std::wstring::npos)
        << lines[0];
    EXPECT_EQ(hash.AddToHash(&byte, 1), RKCRYPTO_E_NOT_INITIALIZED);

    // Re-initialisation after a failure makes the object usable again.
    ASSERT_EQ(hash.Initialize(CRYPTO_HASH_ALG_ID::SHA512), STATUS_SUCCESS);
    EXPECT_EQ(hash.AddToHash(nullptr, 5), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(hash.AddToHash(&byte, 1), STATUS_SUCCESS);
    EXPECT_EQ(hash.GetFinalHash(out), STATUS_SUCCESS);
    EXPECT_EQ(out.size(), 64u);
}

}  // namespace
}  // namespace RkCryptoLib
