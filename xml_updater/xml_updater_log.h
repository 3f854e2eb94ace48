// The XML update engine's log. Every message goes to the logger the host
// installs (formatted into 512 wide characters; a message that does not fit
// is cut at 511 and preceded by "Failed to create log message string" at
// level 1). Without an installed logger, errors (level 0 and 1) are appended
// to log.txt under ProgramData\Corvane\<executable name>\; other levels are
// dropped. Log failures are swallowed.
#pragma once

#include <memory>
#include <string>

#include "platform/text/format.h"

namespace XMLUpdater::v2 {

// Engine levels: 0 and 2 only from the LOG command, 1 error, 3 warning,
// 4 information.
inline constexpr unsigned kXmlLogError = 1;
inline constexpr unsigned kXmlLogWarning = 3;
inline constexpr unsigned kXmlLogInformation = 4;
// Highest level that reaches log.txt.
inline constexpr unsigned kXmlLogFileThreshold = 1;

inline constexpr std::size_t kXmlLogMessageChars = 512;
inline constexpr wchar_t kXmlLogFormatFailed[] = L"Failed to create log message string";

// log.txt: folder below ProgramData, file name and the header of each entry
// (milliseconds since system start, source file, function, line).
inline constexpr wchar_t kXmlLogFolder[] = L"Corvane";
inline constexpr wchar_t kXmlLogFileName[] = L"log.txt";
inline constexpr wchar_t kXmlLogLineHeader[] = L"\r\n%u\tFile:%s\tFunction:%s\tLine:%d\t";

class IXmlUpdaterLogger {
public:
    virtual void Log(unsigned level, const wchar_t* file, int line, const wchar_t* message) = 0;
    virtual ~IXmlUpdaterLogger() = default;
};

// Process-wide. The shared form keeps the logger alive for the rest of the
// process (or until replaced); the raw form is for loggers whose owner
// outlives their installation. Null removes the logger.
void SetXmlUpdaterLogger(std::shared_ptr<IXmlUpdaterLogger> logger);
void SetXmlUpdaterLogger(IXmlUpdaterLogger* logger);
IXmlUpdaterLogger* GetXmlUpdaterLogger();

// The full path of log.txt for the current root prefix and executable, as a
// system path; empty when it cannot be built.
std::wstring XmlUpdaterLogFilePath();

void XmlUpdaterLogV(unsigned level, const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                    rk::text::FormatArgs args);

template <typename... A>
void XmlUpdaterLog(unsigned level, const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                   const A&... args) {
    const auto list = rk::text::make_format_args(args...);
    XmlUpdaterLogV(level, file, function, line, format, rk::text::FormatArgs(list.data(), list.size()));
}

}  // namespace XMLUpdater::v2
