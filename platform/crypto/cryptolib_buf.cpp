#include "platform/crypto/cryptolib_buf.h"

#include <openssl/crypto.h>

#include <array>
#include <iterator>
#include <stdexcept>
#include <string_view>

#include "platform/crypto/rk_crypto_hash.h"
#include "platform/crypto/rk_crypto_symmetric.h"

namespace DADI_ZIR::internal {
namespace {

using RkCryptoLib::RK_SUCCESS;

std::vector<std::uint8_t> DeriveBytes(std::string_view label, std::size_t size) {
    RkCryptoLib::CRkCryptoHashWin hash;
    std::vector<std::uint8_t> digest;
    if (!RK_SUCCESS(hash.Initialize(RkCryptoLib::CRYPTO_HASH_ALG_ID::SHA256)) ||
        !RK_SUCCESS(hash.AddToHash(reinterpret_cast<const std::uint8_t*>(label.data()), label.size())) ||
        !RK_SUCCESS(hash.GetFinalHash(digest))) {
        throw std::runtime_error(kCryptolibInitFailed);
    }
    digest.resize(size);
    return digest;
}

void InitCipher(RkCryptoLib::CRkCryptoSymmetricWin& cipher, const std::vector<std::uint8_t>& key,
                const std::vector<std::uint8_t>& iv) {
    if (!RK_SUCCESS(cipher.Initialize(RkCryptoLib::CRYPTO_SYMMETRIC_ALG_ID::AES256_CBC, true)) ||
        !RK_SUCCESS(cipher.SetKeyIV(key.data(), key.size(), iv.data(), iv.size()))) {
        throw std::runtime_error(kCryptolibInitFailed);
    }
}

}  // namespace

std::vector<std::uint8_t> cryptolib_buf::DefaultKey() {
    return DeriveBytes("rkupdater/web-cache/metadata/key/1", kKeySize);
}

std::vector<std::uint8_t> cryptolib_buf::DefaultIv() {
    return DeriveBytes("rkupdater/web-cache/metadata/iv/1", kIvSize);
}

cryptolib_buf::cryptolib_buf(std::ostream& sink) : sink_(&sink) { SetKey(DefaultKey(), DefaultIv()); }

cryptolib_buf::cryptolib_buf(std::ostream& sink, std::span<const std::uint8_t> key,
                             std::span<const std::uint8_t> iv)
    : sink_(&sink) {
    SetKey(key, iv);
}

cryptolib_buf::cryptolib_buf(std::istream& source) {
    SetKey(DefaultKey(), DefaultIv());
    Load(source);
}

cryptolib_buf::cryptolib_buf(std::istream& source, std::span<const std::uint8_t> key,
                             std::span<const std::uint8_t> iv) {
    SetKey(key, iv);
    Load(source);
}

cryptolib_buf::~cryptolib_buf() {
    try {
        close();
    } catch (...) {  // NOLINT(bugprone-empty-catch): a destructor cannot report; close() can
    }
    OPENSSL_cleanse(key_.data(), key_.size());
}

void cryptolib_buf::SetKey(std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv) {
    if (key.size() > kKeySize) {
        throw std::runtime_error(kCryptolibKeyTooBig);
    }
    if (iv.size() > kIvSize) {
        throw std::runtime_error(kCryptolibIvTooBig);
    }
    key_.assign(kKeySize, 0);
    std::copy(key.begin(), key.end(), key_.begin());
    iv_.assign(kIvSize, 0);
    std::copy(iv.begin(), iv.end(), iv_.begin());
}

void cryptolib_buf::Append(const char* s, std::size_t n) {
    if (sink_ == nullptr || closed_) {
        throw std::runtime_error(kCryptolibWriteFailed);
    }
    if (n > kMaxInput - plain_.size()) {
        throw std::runtime_error(kCryptolibInputTooBig);
    }
    plain_.append(s, n);
}

cryptolib_buf::int_type cryptolib_buf::overflow(int_type ch) {
    if (traits_type::eq_int_type(ch, traits_type::eof())) {
        return traits_type::not_eof(ch);
    }
    const char c = traits_type::to_char_type(ch);
    Append(&c, 1);
    return ch;
}

std::streamsize cryptolib_buf::xsputn(const char* s, std::streamsize n) {
    if (n <= 0) {
        return 0;
    }
    Append(s, static_cast<std::size_t>(n));
    return n;
}

void cryptolib_buf::close() {
    if (sink_ == nullptr || closed_) {
        return;
    }
    closed_ = true;
    RkCryptoLib::CRkCryptoSymmetricWin cipher;
    InitCipher(cipher, key_, iv_);
    // An empty store is written as the version alone (Encrypt needs input).
    std::vector<std::uint8_t> encrypted;
    if (!plain_.empty() &&
        !RK_SUCCESS(cipher.Encrypt(reinterpret_cast<const std::uint8_t*>(plain_.data()), plain_.size(), encrypted))) {
        throw std::runtime_error(kCryptolibWriteFailed);
    }
    OPENSSL_cleanse(plain_.data(), plain_.size());
    plain_.clear();
    std::array<char, 4> version{};
    for (std::size_t i = 0; i < version.size(); ++i) {
        version[i] = static_cast<char>((kVersion >> (8 * i)) & 0xFF);
    }
    sink_->write(version.data(), version.size());
    sink_->write(reinterpret_cast<const char*>(encrypted.data()), static_cast<std::streamsize>(encrypted.size()));
    sink_->flush();
    if (!*sink_) {
        throw std::runtime_error(kCryptolibWriteFailed);
    }
}

void cryptolib_buf::Load(std::istream& source) {
    std::string raw;
    std::array<char, 4096> chunk{};
    while (source.read(chunk.data(), chunk.size()) || source.gcount() > 0) {
        // The ciphertext of kMaxInput plain bytes is at most one block longer.
        if (raw.size() + static_cast<std::size_t>(source.gcount()) > 4 + kMaxInput + kIvSize) {
            throw std::runtime_error(kCryptolibInputTooBig);
        }
        raw.append(chunk.data(), static_cast<std::size_t>(source.gcount()));
    }
    if (source.bad() || raw.size() < 4) {
        throw std::runtime_error(kCryptolibBadVersion);
    }
    std::uint32_t version = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        version |= static_cast<std::uint32_t>(static_cast<unsigned char>(raw[i])) << (8 * i);
    }
    if (version != kVersion) {
        throw std::runtime_error(kCryptolibBadVersion);
    }
    if (raw.size() > 4) {
        RkCryptoLib::CRkCryptoSymmetricWin cipher;
        InitCipher(cipher, key_, iv_);
        std::vector<std::uint8_t> decrypted;
        if (!RK_SUCCESS(cipher.Decrypt(reinterpret_cast<const std::uint8_t*>(raw.data()) + 4, raw.size() - 4,
                                       decrypted))) {
            // Damaged ciphertext reads as garbage; report it as the damaged
            // store it is.
            throw std::runtime_error(kCryptolibBadVersion);
        }
        plain_.assign(decrypted.begin(), decrypted.end());
        OPENSSL_cleanse(decrypted.data(), decrypted.size());
    }
    setg(plain_.data(), plain_.data(), plain_.data() + plain_.size());
}

}  // namespace DADI_ZIR::internal
