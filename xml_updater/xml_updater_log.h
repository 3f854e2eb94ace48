// The XML update engine's log: every message goes to the logger that the
// host installs. Text is formatted into 512 wide characters; a message that
// does not fit is cut at 511 and preceded by "Failed to create log message
// string" at level 1.
//
// Only the installed-logger path exists so far; the log.txt fallback for
// hosts that install none comes with the engine.
#pragma once

#include "platform/text/format.h"

namespace XMLUpdater::v2 {

// Engine levels: 0 and 2 only from the LOG command, 1 error, 3 warning,
// 4 information.
inline constexpr unsigned kXmlLogError = 1;
inline constexpr unsigned kXmlLogWarning = 3;
inline constexpr unsigned kXmlLogInformation = 4;

inline constexpr std::size_t kXmlLogMessageChars = 512;
inline constexpr wchar_t kXmlLogFormatFailed[] = L"Failed to create log message string";

class IXmlUpdaterLogger {
public:
    virtual void Log(unsigned level, const wchar_t* file, int line, const wchar_t* message) = 0;
    virtual ~IXmlUpdaterLogger() = default;
};

// Process-wide; null removes it. The logger must outlive its installation.
void SetXmlUpdaterLogger(IXmlUpdaterLogger* logger);
IXmlUpdaterLogger* GetXmlUpdaterLogger();

void XmlUpdaterLogV(unsigned level, const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                    rk::text::FormatArgs args);

template <typename... A>
void XmlUpdaterLog(unsigned level, const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                   const A&... args) {
    const auto list = rk::text::make_format_args(args...);
    XmlUpdaterLogV(level, file, function, line, format, rk::text::FormatArgs(list.data(), list.size()));
}

}  // namespace XMLUpdater::v2
