#include "platform/logging/default_logging_handler.h"

#include <cstdlib>
#include <string_view>

#include "platform/system/descriptor_output.h"
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
    rk::sys::write_descriptor(rk::sys::kStandardErrorDescriptor, bytes);
}

}  // namespace DiraDoro
