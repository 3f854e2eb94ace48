// The forwarders below are the libcurl API for this process (see
// curl_library.h). The type-checking macros of curl.h would rename the
// definitions; they stay on for every caller.
#define CURL_DISABLE_TYPECHECK
#include "platform/system/http/curl_library.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <mutex>

namespace rk::sys::http {
namespace {

constexpr const char* kCurlLibrary = "libcurl.so.4";

// One pointer per forwarded function, named and typed after it.
struct CurlApi {
#define RK_CURL_FUNCTIONS(X) \
    X(curl_global_init) \
    X(curl_global_cleanup) \
    X(curl_easy_init) \
    X(curl_easy_cleanup) \
    X(curl_easy_setopt) \
    X(curl_easy_getinfo) \
    X(curl_easy_pause) \
    X(curl_multi_init) \
    X(curl_multi_cleanup) \
    X(curl_multi_add_handle) \
    X(curl_multi_remove_handle) \
    X(curl_multi_perform) \
    X(curl_multi_poll) \
    X(curl_multi_info_read) \
    X(curl_share_init) \
    X(curl_share_cleanup) \
    X(curl_share_setopt) \
    X(curl_slist_append) \
    X(curl_slist_free_all)
#define RK_CURL_MEMBER(name) decltype(&::name) name = nullptr;
    RK_CURL_FUNCTIONS(RK_CURL_MEMBER)
#undef RK_CURL_MEMBER
};

// Loading and unloading take the mutex; a forwarder reads the table
// without it: it runs inside a session, which keeps the library loaded.
std::mutex g_mutex;
void* g_library = nullptr;
CurlApi g_api;
std::atomic<bool> g_loaded{false};

bool load() {
    void* library = ::dlopen(kCurlLibrary, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return false;
    }
    CurlApi api;
    bool complete = true;
#define RK_CURL_RESOLVE(name)                                                \
    api.name = reinterpret_cast<decltype(&::name)>(::dlsym(library, #name)); \
    complete = complete && api.name != nullptr;
    RK_CURL_FUNCTIONS(RK_CURL_RESOLVE)
#undef RK_CURL_RESOLVE
    if (!complete) {
        ::dlclose(library);
        return false;
    }
    g_api = api;
    g_library = library;
    return true;
}

// Every forwarder runs after a session opened, which loaded the library;
// one reached without it is a programming error.
const CurlApi& api() {
    if (!load_curl_library()) {
        std::abort();
    }
    return g_api;
}

}  // namespace

bool load_curl_library() {
    if (g_loaded.load(std::memory_order_acquire)) {
        return true;
    }
    const std::lock_guard lock(g_mutex);
    if (!g_loaded.load(std::memory_order_relaxed) && load()) {
        g_loaded.store(true, std::memory_order_release);
    }
    return g_loaded.load(std::memory_order_relaxed);
}

void unload_curl_library() {
    const std::lock_guard lock(g_mutex);
    if (!g_loaded.load(std::memory_order_relaxed)) {
        return;
    }
    g_loaded.store(false, std::memory_order_release);
    g_api = CurlApi{};
    ::dlclose(g_library);
    g_library = nullptr;
}

}  // namespace rk::sys::http

using rk::sys::http::api;

extern "C" {

CURLcode curl_global_init(long flags) { return api().curl_global_init(flags); }
void curl_global_cleanup() { api().curl_global_cleanup(); }
CURL* curl_easy_init() { return api().curl_easy_init(); }
void curl_easy_cleanup(CURL* handle) { api().curl_easy_cleanup(handle); }
CURLcode curl_easy_pause(CURL* handle, int bitmask) { return api().curl_easy_pause(handle, bitmask); }

// The forwarders keep libcurl's own prototypes, whose last named parameter
// is an enum (an int on every ABI the build targets); clang warns about any
// enum before "...".
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wvarargs"
#endif

// The option's number tells the type of its argument, as libcurl itself
// reads it: long, object or function pointer, curl_off_t, blob pointer.
CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
    va_list args;
    va_start(args, option);
    CURLcode result;
    if (option < CURLOPTTYPE_OBJECTPOINT) {
        result = api().curl_easy_setopt(handle, option, va_arg(args, long));
    } else if (option < CURLOPTTYPE_OFF_T) {
        result = api().curl_easy_setopt(handle, option, va_arg(args, void*));
    } else if (option < CURLOPTTYPE_BLOB) {
        result = api().curl_easy_setopt(handle, option, va_arg(args, curl_off_t));
    } else {
        result = api().curl_easy_setopt(handle, option, va_arg(args, void*));
    }
    va_end(args);
    return result;
}

// Every CURLINFO takes a pointer to the result.
CURLcode curl_easy_getinfo(CURL* handle, CURLINFO info, ...) {
    va_list args;
    va_start(args, info);
    void* out = va_arg(args, void*);
    va_end(args);
    return api().curl_easy_getinfo(handle, info, out);
}

CURLM* curl_multi_init() { return api().curl_multi_init(); }
CURLMcode curl_multi_cleanup(CURLM* multi) { return api().curl_multi_cleanup(multi); }
CURLMcode curl_multi_add_handle(CURLM* multi, CURL* easy) { return api().curl_multi_add_handle(multi, easy); }
CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* easy) { return api().curl_multi_remove_handle(multi, easy); }
CURLMcode curl_multi_perform(CURLM* multi, int* running) { return api().curl_multi_perform(multi, running); }
CURLMcode curl_multi_poll(CURLM* multi, struct curl_waitfd extra[], unsigned int count, int timeout_ms, int* ready) {
    return api().curl_multi_poll(multi, extra, count, timeout_ms, ready);
}
CURLMsg* curl_multi_info_read(CURLM* multi, int* queued) { return api().curl_multi_info_read(multi, queued); }

CURLSH* curl_share_init() { return api().curl_share_init(); }
CURLSHcode curl_share_cleanup(CURLSH* share) { return api().curl_share_cleanup(share); }

// CURLSHOPT_SHARE and CURLSHOPT_UNSHARE take an int (curl_lock_data), the
// others a pointer.
CURLSHcode curl_share_setopt(CURLSH* share, CURLSHoption option, ...) {
    va_list args;
    va_start(args, option);
    CURLSHcode result;
    if (option == CURLSHOPT_SHARE || option == CURLSHOPT_UNSHARE) {
        result = api().curl_share_setopt(share, option, va_arg(args, int));
    } else {
        result = api().curl_share_setopt(share, option, va_arg(args, void*));
    }
    va_end(args);
    return result;
}

curl_slist* curl_slist_append(curl_slist* list, const char* text) { return api().curl_slist_append(list, text); }
void curl_slist_free_all(curl_slist* list) { api().curl_slist_free_all(list); }

// libcurl's librtmp and libldap bring in GnuTLS, whose load runs its global
// initialisation: some 120 KB of ASN.1 trees on the heap, interleaved with
// the blocks OpenSSL keeps from the same moment, and freed when the HTTP
// stack is unloaded, which leaves those pages resident with holes. Nothing
// here uses GnuTLS (HTTPS goes through OpenSSL); an rtmp:// or ldap://
// transfer would start it itself (gnutls_global_init). GnuTLS skips its
// load-time initialisation when the program defines this function
// (GNUTLS_SKIP_GLOBAL_INIT of gnutls.h) and exports it; the daemon, which
// unloads its HTTP stack between passes, is linked to export it.
__attribute__((visibility("default"))) int _gnutls_global_init_skip() { return 1; }

}  // extern "C"
