#include "platform/system/http/session_core.h"

#include "platform/system/http/curl_support.h"

namespace rk::sys::http {

std::shared_ptr<SessionCore> SessionCore::create(const SessionOptions& options, DWORD& error) {
    error = win::kErrorSuccess;
    if (!acquire_curl()) {
        error = win::kWinHttpErrorInternalError;
        return nullptr;
    }
    std::shared_ptr<SessionCore> core(new SessionCore());
    core->holds_curl_ = true;
    core->share_ = curl_share_init();
    if (core->share_ == nullptr) {
        error = win::kErrorNotEnoughMemory;
        return nullptr;
    }
    curl_share_setopt(core->share_, CURLSHOPT_LOCKFUNC, &SessionCore::lock);
    curl_share_setopt(core->share_, CURLSHOPT_UNLOCKFUNC, &SessionCore::unlock);
    curl_share_setopt(core->share_, CURLSHOPT_USERDATA, core.get());
    curl_share_setopt(core->share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
    curl_share_setopt(core->share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_share_setopt(core->share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    core->options_ = options;
    core->user_proxy_ = current_user_proxy_config();
    return core;
}

SessionCore::~SessionCore() {
    if (share_ != nullptr) {
        curl_share_cleanup(share_);
    }
    if (holds_curl_) {
        release_curl();
    }
}

void SessionCore::lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<SessionCore*>(self)->locks_[static_cast<std::size_t>(data)].lock();
}

void SessionCore::unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<SessionCore*>(self)->locks_[static_cast<std::size_t>(data)].unlock();
}

SessionOptions SessionCore::options() const {
    std::lock_guard lock(options_mutex_);
    return options_;
}

void SessionCore::set_timeouts(const Timeouts& timeouts) {
    std::lock_guard lock(options_mutex_);
    options_.timeouts = timeouts;
}

void SessionCore::set_secure_protocols(DWORD protocols) {
    std::lock_guard lock(options_mutex_);
    options_.secure_protocols = protocols;
}

void SessionCore::set_proxy(const ProxySettings& proxy) {
    std::lock_guard lock(options_mutex_);
    options_.proxy = proxy;
}

std::wstring SessionCore::proxy_for(std::wstring_view scheme, std::wstring_view host) const {
    std::lock_guard lock(options_mutex_);
    switch (options_.proxy.access) {
        case AccessType::kNoProxy:
            return {};
        case AccessType::kNamedProxy:
            return select_proxy(options_.proxy.proxy, options_.proxy.bypass, scheme, host);
        case AccessType::kDefaultProxy:
            break;
    }
    return select_proxy(user_proxy_.proxy, user_proxy_.bypass, scheme, host);
}

}  // namespace rk::sys::http
