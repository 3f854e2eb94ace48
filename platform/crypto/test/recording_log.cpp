#include "platform/crypto/test/recording_log.h"

#include <mutex>

namespace {

std::mutex& lines_mutex() {
    static std::mutex m;
    return m;
}

std::vector<rk::test::LoggedLine>& lines() {
    static std::vector<rk::test::LoggedLine> l;
    return l;
}

}  // namespace

bool IsLogLevelEnabled(LogLevel) { return true; }

rk::DWORD LogMessage(LogLevel level, const wchar_t*, const wchar_t* function, int, const wchar_t* format,
                     rk::text::FormatArgs args) {
    std::lock_guard lock(lines_mutex());
    lines().push_back({level, function ? function : L"", rk::text::vformat(format ? format : L"", args)});
    return 0;
}

namespace rk::test {

std::vector<LoggedLine> take_logged_lines() {
    std::lock_guard lock(lines_mutex());
    std::vector<LoggedLine> out;
    out.swap(lines());
    return out;
}

void clear_logged_lines() { take_logged_lines(); }

}  // namespace rk::test
