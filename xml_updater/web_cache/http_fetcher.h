// HttpFetcher: one HTTPS transaction for a cached object: conditional or
// range request from its metadata, the answer checked, the body written in
// 64 KiB blocks. Failures throw std::system_error with a WinHTTP error
// ("winhttp_category"), an HttpFetcherError, or the object's file error.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "platform/errors/win_error.h"
#include "platform/system/http/http_types.h"

namespace XMLUpdater::v2::web_cache {

class Cached_object;

inline constexpr wchar_t kFetcherAgent[] = L"Simple HttpFetcher/1.1";
inline constexpr std::size_t kFetchBlockBytes = 64 * 1024;

// After each block: bytes of the object on disk, the full length of the
// resource, bytes received in this transaction.
using FetchProgress = std::function<void(std::uint64_t have, std::uint64_t total, std::uint64_t received)>;

struct FetcherOptions {
    // TLS 1.2 and 1.3.
    rk::DWORD secure_protocols = rk::sys::http::kSecureProtocolTls1_2 | rk::sys::http::kSecureProtocolTls1_3;
    // Trust anchors (PEM); empty: the system store.
    std::filesystem::path ca_file;
    rk::sys::http::Timeouts timeouts;
};

class HttpFetcher {
public:
    explicit HttpFetcher(FetcherOptions options = {}, FetchProgress progress = {});

    rk::DWORD secure_protocols() const { return options_.secure_protocols; }

    // Connects to the object's Host (port 443 unless it names one) over
    // HTTPS and brings the object up to date.
    void fetch(Cached_object& object);

private:
    FetcherOptions options_;
    FetchProgress progress_;
};

}  // namespace XMLUpdater::v2::web_cache
