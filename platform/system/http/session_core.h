// State a session shares with its connections and requests: the libcurl
// share handle (connection cache, TLS sessions, name lookups) and the
// session's options. Requests hold it through a shared pointer, so closing
// the session object does not pull the cache from under a running request.
#pragma once

#include <curl/curl.h>

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/errors/win_error.h"
#include "platform/system/http/http_types.h"
#include "platform/system/http/proxy_config.h"

namespace rk::sys::http {

class SessionCore {
public:
    // Null with `error` set when libcurl cannot be set up.
    static std::shared_ptr<SessionCore> create(const SessionOptions& options, DWORD& error);
    SessionCore(const SessionCore&) = delete;
    SessionCore& operator=(const SessionCore&) = delete;
    ~SessionCore();

    CURLSH* share() const { return share_; }

    SessionOptions options() const;
    void set_timeouts(const Timeouts& timeouts);
    void set_secure_protocols(DWORD protocols);
    void set_proxy(const ProxySettings& proxy);

    // The proxy URL for a request to `host` under the session's settings
    // (empty: direct). The user's configuration is read when the session is
    // opened, as WinHttpOpen does.
    std::wstring proxy_for(std::wstring_view scheme, std::wstring_view host) const;

private:
    SessionCore() = default;
    static void lock(CURL* handle, curl_lock_data data, curl_lock_access access, void* self);
    static void unlock(CURL* handle, curl_lock_data data, void* self);

    bool holds_curl_ = false;  // acquire_curl, released last
    CURLSH* share_ = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;
    mutable std::mutex options_mutex_;
    SessionOptions options_;
    ProxyConfig user_proxy_;
};

}  // namespace rk::sys::http
