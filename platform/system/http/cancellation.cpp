#include "platform/system/http/cancellation.h"

#include <utility>

namespace rk::sys::http {
namespace {
thread_local std::shared_ptr<const CancelToken> t_token;
}

std::shared_ptr<const CancelToken> set_thread_cancel_token(std::shared_ptr<const CancelToken> token) {
    return std::exchange(t_token, std::move(token));
}

std::shared_ptr<const CancelToken> thread_cancel_token() { return t_token; }

}  // namespace rk::sys::http
