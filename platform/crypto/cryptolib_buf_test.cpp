#include "platform/crypto/cryptolib_buf.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "platform/text/strings.h"

namespace DADI_ZIR::internal {
namespace {

// Without close, the destructor writes what close would have.
std::string write_store(const std::string& plain, bool close = true) {
    std::ostringstream sink;
    {
        cryptolib_buf buf(sink);
        std::ostream out(&buf);
        out << plain;
        if (close) {
            buf.close();
        }
    }
    return sink.str();
}

std::string read_store(const std::string& stored) {
    std::istringstream source(stored);
    cryptolib_buf buf(source);
    std::istream in(&buf);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string thrown_by(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

TEST(CryptolibBuf, RoundTripsAndHidesThePlainText) {
    for (const std::string& plain : {std::string("ETag\0\"abc\"", 10), std::string(5000, 'k'), std::string("x"),
                                    std::string()}) {
        const std::string stored = write_store(plain);
        ASSERT_GE(stored.size(), 4u);
        EXPECT_EQ(stored.substr(0, 4), std::string("\x01\0\0\0", 4));
        if (!plain.empty()) {
            EXPECT_EQ((stored.size() - 4) % 16, 0u);
            EXPECT_EQ(stored.find(plain), std::string::npos);
        }
        EXPECT_EQ(read_store(stored), plain);
        EXPECT_EQ(read_store(write_store(plain, false)), plain);
    }
}

TEST(CryptolibBuf, OwnKeysAndTheirLimits) {
    const std::vector<std::uint8_t> key(16, 0x42);
    const std::vector<std::uint8_t> iv(16, 0x24);
    std::ostringstream sink;
    {
        cryptolib_buf buf(sink, key, iv);
        std::ostream(&buf) << "value";
    }
    std::istringstream same(sink.str());
    cryptolib_buf reader(same, key, iv);
    std::istream in(&reader);
    std::string text;
    in >> text;
    EXPECT_EQ(text, "value");

    // The built-in key cannot read it (a key shorter than 32 bytes is
    // zero-extended, so it differs from the derived one).
    EXPECT_EQ(thrown_by([&] { read_store(sink.str()); }), std::string("Serialization version number incorrect (possible i/o error or corrupt file)"));

    const std::vector<std::uint8_t> big_key(33, 1);
    const std::vector<std::uint8_t> big_iv(17, 1);
    EXPECT_EQ(thrown_by([&] { cryptolib_buf b(sink, big_key, iv); }), std::string("Requested key is too big"));
    EXPECT_EQ(thrown_by([&] { cryptolib_buf b(sink, key, big_iv); }), std::string("Requested initialization vector is too big"));
}

TEST(CryptolibBuf, DamagedStoresReadAsVersionErrors) {
    const std::string good = write_store("Status=200");
    std::string wrong_version = good;
    wrong_version[0] = 2;
    std::string damaged = good;
    damaged.back() = static_cast<char>(damaged.back() ^ 0x5A);
    const std::string cases[] = {"", std::string("\x01\0\0", 3), wrong_version, good.substr(0, good.size() - 1),
                                 damaged};
    for (const auto& stored : cases) {
        EXPECT_EQ(thrown_by([&] { read_store(stored); }), std::string("Serialization version number incorrect (possible i/o error or corrupt file)")) << stored.size();
    }
}

TEST(CryptolibBuf, TooMuchInputAndFailingSinks) {
    std::ostringstream sink;
    cryptolib_buf buf(sink);
    std::ostream out(&buf);
    out.exceptions(std::ios::badbit);
    const std::string chunk(1 << 20, 'a');
    std::string message;
    try {
        for (int i = 0; i <= 16; ++i) {
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        }
    } catch (const std::exception& e) {
        message = e.what();
    }
    EXPECT_EQ(message, std::string("Input is too big"));

    std::ostringstream closed_sink;
    closed_sink.setstate(std::ios::badbit);
    cryptolib_buf failing(closed_sink);
    std::ostream(&failing) << "data";
    EXPECT_EQ(thrown_by([&] { failing.close(); }), std::string("Failed to write encrypted data to stream"));

    std::string huge(cryptolib_buf::kMaxInput + 64, 'z');
    std::istringstream too_big(std::string("\x01\0\0\0", 4) + huge);
    EXPECT_EQ(thrown_by([&] { cryptolib_buf r(too_big); }), std::string("Input is too big"));
}

TEST(CryptolibBuf, DerivedKeyIsStable) {
    // Stores written by an earlier build must stay readable: the derivation
    // may not change silently.
    EXPECT_EQ(rk::text::to_hex(cryptolib_buf::DefaultKey()),
              "34a80668f0fa58b0ee7388a2aeab3fe370303ee4040e49a83efda03909efc19b");
    EXPECT_EQ(rk::text::to_hex(cryptolib_buf::DefaultIv()), "9196348c6b098df4aafebf6886b133f1");
}

}  // namespace
}  // namespace DADI_ZIR::internal
