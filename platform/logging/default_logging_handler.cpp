#include "platform/logging/default_logging_handler.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "platform/text/format.h"
#include "platform/text/utf.h"

namespace DiraDoro {

std::wstring CDefaultLoggingHandler::FormatLine(rk::DWORD level, const wchar_t* file, const wchar_t* function,
                                                int line, const wchar_t* message) {
    const wchar_t* format = nullptr;
    switch (level) {
        case kLevelNone: return {};
        case kLevelInformation: format = kDefaultLineInformation; break;
        case kLevelError: format = kDefaultLineError; break;
        default: format = kDefaultLineUnknown; break;
    }
    return rk::text::format(format, file, line, function, message);
}

void CDefaultLoggingHandler::Log(rk::DWORD level, const wchar_t* file, const wchar_t* function, int line,
                                 const wchar_t* message) {
    if (level == kLevelNone) {
        return;
    }
    try {
        OutputDebugText(FormatLine(level, file, function, line, message));
    } catch (...) {
        // Out of memory while logging: the line is lost.
    }
}

void OutputDebugText(const std::wstring& text) {
    const char* value = std::getenv(kDebugOutputVariable);
    if (value == nullptr || value[0] == '\0' || std::string_view(value) == "0") {
        return;
    }
    const std::string bytes = rk::text::wide_to_utf8(text);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(STDERR_FILENO, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace DiraDoro
