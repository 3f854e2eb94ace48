#include "platform/crypto/ec_key_codec.h"

#include <openssl/bio.h>
#include <openssl/core_names.h>
#include <openssl/pem.h>

#include <cstring>

#include "platform/crypto/openssl_handles.h"

namespace rk::crypto {
namespace {

using Bio = std::unique_ptr<BIO, RkCryptoLib::ossl::Deleter<BIO_free_all>>;
using RkCryptoLib::ossl::PKey;

constexpr std::size_t kCoordinate = 32;
constexpr char kCurve[] = "prime256v1";

Bio memory_bio(std::string_view text) {
    return Bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
}

bool is_p256(EVP_PKEY* key) {
    char group[64] = {};
    std::size_t length = 0;
    return EVP_PKEY_is_a(key, "EC") &&
           EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof(group), &length) == 1 &&
           std::strcmp(group, kCurve) == 0;
}

std::optional<std::vector<std::uint8_t>> public_point(EVP_PKEY* key) {
    std::uint8_t point[1 + 2 * kCoordinate] = {};
    std::size_t length = 0;
    // Keys read from PEM may keep the compressed form they were written in.
    EVP_PKEY_set_utf8_string_param(key, OSSL_PKEY_PARAM_EC_POINT_CONVERSION_FORMAT, "uncompressed");
    if (EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, point, sizeof(point), &length) != 1 ||
        length != sizeof(point) || point[0] != 0x04) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(point + 1, point + sizeof(point));
}

PKey key_from_raw(std::span<const std::uint8_t> raw, bool with_private) {
    using namespace RkCryptoLib::ossl;
    std::vector<std::uint8_t> point{0x04};
    point.insert(point.end(), raw.begin(), raw.begin() + 2 * kCoordinate);
    ParamBld bld(OSSL_PARAM_BLD_new());
    Bignum d;
    bool ok = bld && OSSL_PARAM_BLD_push_utf8_string(bld.get(), OSSL_PKEY_PARAM_GROUP_NAME, kCurve, 0) &&
              OSSL_PARAM_BLD_push_octet_string(bld.get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size());
    if (ok && with_private) {
        d.reset(BN_bin2bn(raw.data() + 2 * kCoordinate, kCoordinate, nullptr));
        ok = d && OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_PRIV_KEY, d.get());
    }
    Params params(ok ? OSSL_PARAM_BLD_to_param(bld.get()) : nullptr);
    PKeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    EVP_PKEY* key = nullptr;
    if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
        EVP_PKEY_fromdata(ctx.get(), &key, with_private ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY, params.get()) !=
            1) {
        return nullptr;
    }
    PKey owned(key);
    if (with_private) {
        PKeyCtx check(EVP_PKEY_CTX_new_from_pkey(nullptr, owned.get(), nullptr));
        if (!check || EVP_PKEY_pairwise_check(check.get()) != 1) {
            return nullptr;
        }
    }
    return owned;
}

std::string bio_text(BIO* bio) {
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

std::optional<std::vector<std::uint8_t>> private_key_from_pem(std::string_view pem) {
    Bio bio = memory_bio(pem);
    // An empty passphrase callback makes an encrypted key fail instead of
    // prompting on the terminal.
    PKey key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, [](char*, int, int, void*) { return 0; }, nullptr)
                 : nullptr);
    if (!key || !is_p256(key.get())) {
        return std::nullopt;
    }
    auto raw = public_point(key.get());
    BIGNUM* d_raw = nullptr;
    if (!raw || EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_PRIV_KEY, &d_raw) != 1) {
        return std::nullopt;
    }
    RkCryptoLib::ossl::Bignum d(d_raw);
    raw->resize(kP256PrivateKeySize);
    BN_bn2binpad(d.get(), raw->data() + 2 * kCoordinate, kCoordinate);
    return raw;
}

std::optional<std::vector<std::uint8_t>> public_key_from_pem(std::string_view pem) {
    Bio bio = memory_bio(pem);
    PKey key(bio ? PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (key) {
        return is_p256(key.get()) ? public_point(key.get()) : std::nullopt;
    }
    auto pair = private_key_from_pem(pem);
    if (!pair) {
        return std::nullopt;
    }
    pair->resize(kP256PublicKeySize);
    return pair;
}

std::string private_key_to_pem(std::span<const std::uint8_t> raw) {
    if (raw.size() != kP256PrivateKeySize) {
        return {};
    }
    PKey key = key_from_raw(raw, true);
    Bio bio(BIO_new(BIO_s_mem()));
    if (!key || !bio ||
        PEM_write_bio_PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
        return {};
    }
    return bio_text(bio.get());
}

std::string public_key_to_pem(std::span<const std::uint8_t> raw) {
    if (raw.size() != kP256PublicKeySize) {
        return {};
    }
    PKey key = key_from_raw(raw, false);
    Bio bio(BIO_new(BIO_s_mem()));
    if (!key || !bio || PEM_write_bio_PUBKEY(bio.get(), key.get()) != 1) {
        return {};
    }
    return bio_text(bio.get());
}

std::vector<std::uint8_t> signature_to_der(std::span<const std::uint8_t> raw) {
    if (raw.size() != kP256SignatureSize) {
        return {};
    }
    RkCryptoLib::ossl::EcdsaSig sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(raw.data(), kCoordinate, nullptr);
    BIGNUM* s = BN_bin2bn(raw.data() + kCoordinate, kCoordinate, nullptr);
    if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return {};
    }
    unsigned char* der = nullptr;
    const int length = i2d_ECDSA_SIG(sig.get(), &der);
    if (length <= 0) {
        return {};
    }
    std::vector<std::uint8_t> out(der, der + length);
    OPENSSL_free(der);
    return out;
}

std::optional<std::vector<std::uint8_t>> signature_from_der(std::span<const std::uint8_t> der) {
    const unsigned char* p = der.data();
    RkCryptoLib::ossl::EcdsaSig sig(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(der.size())));
    if (!sig || p != der.data() + der.size()) {
        return std::nullopt;
    }
    const BIGNUM* r = ECDSA_SIG_get0_r(sig.get());
    const BIGNUM* s = ECDSA_SIG_get0_s(sig.get());
    if (BN_num_bytes(r) > static_cast<int>(kCoordinate) || BN_num_bytes(s) > static_cast<int>(kCoordinate)) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> out(kP256SignatureSize);
    BN_bn2binpad(r, out.data(), kCoordinate);
    BN_bn2binpad(s, out.data() + kCoordinate, kCoordinate);
    return out;
}

}  // namespace rk::crypto
