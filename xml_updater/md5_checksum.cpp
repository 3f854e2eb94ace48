#include "xml_updater/md5_checksum.h"

#include <vector>

#include "platform/system/file.h"
#include "platform/text/strings.h"

namespace XMLUpdater::v2 {

CMD5Checksum::CMD5Checksum() {
    ok_ = RkCryptoLib::RK_SUCCESS(hash_.Initialize(RkCryptoLib::CRYPTO_HASH_ALG_ID::MD5));
}

void CMD5Checksum::Update(const std::uint8_t* data, std::size_t length) {
    ok_ = ok_ && RkCryptoLib::RK_SUCCESS(hash_.AddToHash(data, length));
}

std::wstring CMD5Checksum::Final() {
    std::vector<std::uint8_t> digest;
    // An empty input still has a digest; the library wants data first.
    const bool ok = ok_ && RkCryptoLib::RK_SUCCESS(hash_.AddToHash(nullptr, 0)) &&
                    RkCryptoLib::RK_SUCCESS(hash_.GetFinalHash(digest));
    ok_ = RkCryptoLib::RK_SUCCESS(hash_.Initialize(RkCryptoLib::CRYPTO_HASH_ALG_ID::MD5));
    return ok ? rk::text::to_hex_wide(digest) : std::wstring();
}

std::optional<std::wstring> CMD5Checksum::OfFile(const std::filesystem::path& path) {
    rk::sys::File file;
    if (rk::sys::File::open_host(path, {}, file) != 0) {
        return std::nullopt;
    }
    CMD5Checksum md5;
    std::vector<std::uint8_t> block(1024 * 1024);
    for (;;) {
        std::size_t done = 0;
        if (file.read(block.data(), block.size(), done) != 0) {
            return std::nullopt;
        }
        if (done == 0) {
            break;
        }
        md5.Update(block.data(), done);
    }
    std::wstring digest = md5.Final();
    return digest.empty() ? std::nullopt : std::optional<std::wstring>(std::move(digest));
}

bool Md5PrefixMatches(const std::wstring& expected, const std::wstring& digest) {
    return expected.size() <= digest.size() && rk::text::iequals(expected, digest.substr(0, expected.size()));
}

}  // namespace XMLUpdater::v2
