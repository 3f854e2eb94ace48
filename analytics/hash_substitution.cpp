#include "analytics/hash_substitution.h"

#include <vector>

#include "analytics/analytics_log.h"
#include "platform/crypto/rk_crypto_hash.h"
#include "platform/system/file.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"
#include "xml_updater/substitutions/substitution_constants.h"

namespace Halden::Analytics {
namespace {
constexpr wchar_t kFile[] = L"HashSubstitution.cpp";
constexpr wchar_t kAlgorithmMd5[] = L"MD5";
}  // namespace

std::wstring CHashSubstitution::Substitute(const std::wstring& arguments,
                                           XMLUpdater::v2::CSubstitutionManager* /*manager*/) {
    constexpr wchar_t kFunction[] = L"CHashSubstitution::Substitute";
    const auto at = arguments.find(L'@');
    if (at == std::wstring::npos) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, L"Delimiter character not found");
        return XMLUpdater::v2::kUnknownValue;
    }
    if (arguments.compare(0, at, kAlgorithmMd5) != 0) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, L"hash algorithm not supported");
        return XMLUpdater::v2::kUnknownValue;
    }
    return Md5Hash(arguments.substr(at + 1));
}

std::wstring CHashSubstitution::Md5Hash(const std::wstring& path) {
    constexpr wchar_t kFunction[] = L"CHashSubstitution::Md5Hash";
    rk::sys::File file;
    if (const rk::DWORD error = rk::sys::File::open(path, rk::sys::FileOpenOptions{}, file); error != 0) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, L"failed to open file: %s with error code %d", path,
                   error);
        return XMLUpdater::v2::kUnknownValue;
    }
    std::uint64_t size = 0;
    if (const rk::DWORD error = file.size(size); error != 0) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, L"failed to get file size: %d", error);
        return XMLUpdater::v2::kUnknownValue;
    }
    if (size > kMaxHashedFileBytes) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, L"file too large");
        return XMLUpdater::v2::kUnknownValue;
    }
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, L"failed to allocate memory");
        return XMLUpdater::v2::kUnknownValue;
    }
    std::size_t read = 0;
    if (const rk::DWORD error = file.read_at(0, bytes.data(), bytes.size(), read); error != 0) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, L"failed to read file: %d", error);
        return XMLUpdater::v2::kUnknownValue;
    }
    if (read != bytes.size()) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, L"failed to read the right amount of data");
        return XMLUpdater::v2::kUnknownValue;
    }
    RkCryptoLib::CRkCryptoHashWin hash;
    std::vector<std::uint8_t> digest;
    if (hash.Initialize(RkCryptoLib::CRYPTO_HASH_ALG_ID::MD5) != 0 || hash.AddToHash(bytes.data(), bytes.size()) != 0 ||
        hash.GetFinalHash(digest) != 0) {
        return XMLUpdater::v2::kUnknownValue;
    }
    return rk::text::to_hex_wide(digest);
}

}  // namespace Halden::Analytics
