#include "platform/system/current_thread.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/errors/errno_map.h"
#include "platform/text/utf.h"

namespace rk::sys {

DWORD set_current_thread_name(std::wstring_view name) {
    std::string utf8 = rk::text::wide_to_utf8(name);
    constexpr std::size_t kMaxBytes = 15;
    if (utf8.size() > kMaxBytes) {
        std::size_t cut = kMaxBytes;
        while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0u) == 0x80u) {
            --cut;  // never inside a character
        }
        utf8.resize(cut);
    }
    const int r = ::pthread_setname_np(::pthread_self(), utf8.c_str());
    return r == 0 ? win::kErrorSuccess : win::from_errno(r);
}

DWORD raise_current_thread_priority() {
    const auto tid = static_cast<id_t>(::gettid());
    errno = 0;
    const int nice_value = ::getpriority(PRIO_PROCESS, tid);
    if (nice_value == -1 && errno != 0) {
        return win::from_errno(errno);
    }
    if (::setpriority(PRIO_PROCESS, tid, nice_value - 1) != 0) {
        return win::from_errno(errno);
    }
    return win::kErrorSuccess;
}

}  // namespace rk::sys
