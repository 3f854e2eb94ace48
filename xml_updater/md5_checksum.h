// CMD5Checksum: the MD5 digest of a download's bytes as they arrive, for the
// DOWNLOAD and DOWNLOADEX MD5 attribute (integrity against damage, not a
// trust decision: the signature check decides trust).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/crypto/rk_crypto_hash.h"

namespace XMLUpdater::v2 {

class CMD5Checksum {
public:
    CMD5Checksum();
    void Update(const std::uint8_t* data, std::size_t length);
    // Lower-case hexadecimal digest of everything given; the object starts
    // over afterwards. Empty when the cryptography library failed.
    std::wstring Final();

    // The digest of a whole file (host path); nullopt when it cannot be read.
    static std::optional<std::wstring> OfFile(const std::filesystem::path& path);

private:
    RkCryptoLib::CRkCryptoHashWin hash_;
    bool ok_ = false;
};

// The MD5 attribute test of both download commands: `expected` matches when
// it equals, without case, the first expected.size() characters of
// `digest`. An empty `expected` always matches.
bool Md5PrefixMatches(const std::wstring& expected, const std::wstring& digest);

}  // namespace XMLUpdater::v2
