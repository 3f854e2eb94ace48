#include "platform/system/http/curl_support.h"

#include <cstddef>
#include <mutex>

#include "platform/system/http/curl_library.h"

#include "platform/system/http/http_types.h"

namespace rk::sys::http {

namespace {

// Sessions alive and whether curl_global_init holds, under one mutex.
std::mutex g_users_mutex;
std::size_t g_users = 0;
bool g_initialized = false;

}  // namespace

bool acquire_curl() {
    const std::lock_guard lock(g_users_mutex);
    if (!g_initialized) {
        if (!load_curl_library()) {
            return false;
        }
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
            unload_curl_library();
            return false;
        }
        g_initialized = true;
    }
    ++g_users;
    return true;
}

void release_curl() {
    const std::lock_guard lock(g_users_mutex);
    --g_users;
}

bool unload_curl_when_unused() {
    const std::lock_guard lock(g_users_mutex);
    if (g_users != 0) {
        return false;
    }
    if (g_initialized) {
        curl_global_cleanup();
        unload_curl_library();
        g_initialized = false;
    }
    return true;
}

DWORD winhttp_error_from_curl(CURLcode code) {
    switch (code) {
        case CURLE_OK:
            return win::kErrorSuccess;
        case CURLE_URL_MALFORMAT:
            return win::kWinHttpErrorInvalidUrl;
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST:
            return win::kWinHttpErrorNameNotResolved;
        case CURLE_COULDNT_CONNECT:
        case CURLE_PROXY:
            return win::kWinHttpErrorCannotConnect;
        case CURLE_OPERATION_TIMEDOUT:
            return win::kWinHttpErrorTimeout;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_GOT_NOTHING:
        // "Unsupported HTTP version in response": our own URLs are always
        // http or https (a refused redirect is told apart by the request).
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_BAD_CONTENT_ENCODING:
            return win::kWinHttpErrorInvalidServerResponse;
        case CURLE_PARTIAL_FILE:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            return win::kWinHttpErrorConnectionError;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
            return win::kWinHttpErrorSecureFailure;
        case CURLE_SSL_CLIENTCERT:
            return win::kWinHttpErrorClientAuthCertNeeded;
        case CURLE_TOO_MANY_REDIRECTS:
            return win::kWinHttpErrorRedirectFailed;
        case CURLE_WRITE_ERROR:
        case CURLE_READ_ERROR:
        case CURLE_ABORTED_BY_CALLBACK:
            return win::kWinHttpErrorOperationCancelled;
        case CURLE_LOGIN_DENIED:
            return win::kWinHttpErrorLoginFailure;
        case CURLE_OUT_OF_MEMORY:
            return win::kErrorNotEnoughMemory;
        case CURLE_BAD_FUNCTION_ARGUMENT:
            return win::kErrorInvalidParameter;
        default:
            return win::kWinHttpErrorInternalError;
    }
}

std::optional<long> curl_tls_range(DWORD secure_protocols) {
    struct Version {
        DWORD bit;
        long minimum;
        long maximum;
    };
    static constexpr Version kVersions[] = {
        {kSecureProtocolTls1, CURL_SSLVERSION_TLSv1_0, CURL_SSLVERSION_MAX_TLSv1_0},
        {kSecureProtocolTls1_1, CURL_SSLVERSION_TLSv1_1, CURL_SSLVERSION_MAX_TLSv1_1},
        {kSecureProtocolTls1_2, CURL_SSLVERSION_TLSv1_2, CURL_SSLVERSION_MAX_TLSv1_2},
        {kSecureProtocolTls1_3, CURL_SSLVERSION_TLSv1_3, CURL_SSLVERSION_MAX_TLSv1_3},
    };
    const Version* lowest = nullptr;
    const Version* highest = nullptr;
    for (const auto& version : kVersions) {
        if ((secure_protocols & version.bit) != 0) {
            if (lowest == nullptr) {
                lowest = &version;
            }
            highest = &version;
        }
    }
    if (lowest == nullptr) {
        return std::nullopt;
    }
    return lowest->minimum | highest->maximum;
}

}  // namespace rk::sys::http
