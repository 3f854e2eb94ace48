// libcurl plumbing shared by the HTTP and download capabilities: the
// library's set-up and release, owners of curl handles, the error table and the TLS
// version range.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <optional>

#include "platform/errors/win_error.h"

namespace rk::sys::http {

// A session's hold on libcurl: the first loads it and runs
// curl_global_init; false (and no hold) when either fails.
bool acquire_curl();
void release_curl();
// With no hold left: curl_global_cleanup and the library closed (true);
// false while a session holds it.
bool unload_curl_when_unused();

struct CurlEasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlMultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct CurlSlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;
using CurlSlist = std::unique_ptr<curl_slist, CurlSlistDeleter>;

// The WinHTTP error a WinHTTP call would have reported for a libcurl
// failure (table in docs/seam-network-process.md); CURLE_OK gives 0.
DWORD winhttp_error_from_curl(CURLcode code);

// CURLOPT_SSLVERSION for kSecureProtocol* bits: the lowest TLS version set
// as minimum, the highest as maximum; nullopt when no TLS version is set.
std::optional<long> curl_tls_range(DWORD secure_protocols);

}  // namespace rk::sys::http
