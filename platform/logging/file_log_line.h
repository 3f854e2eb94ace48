// The line layout of the file logger: time stamp and level, then the fields
// the options ask for, then the message. The '$' characters belong to the
// formats and appear in the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/errors/win_error.h"
#include "platform/logging/log_level.h"

namespace ETWLogging {

// Options bits ("Options" in log.ini).
inline constexpr rk::DWORD kOptionDebugOutput = 1;
inline constexpr rk::DWORD kOptionProcessThread = 4;
inline constexpr rk::DWORD kOptionSourceLine = 8;
inline constexpr rk::DWORD kOptionImageName = 16;
inline constexpr rk::DWORD kOptionFunction = 32;

inline constexpr const wchar_t* kTimeStampFormat = L"%02hu/%02hu/%hu %02hu:%02hu:%02hu %s$";
inline constexpr const wchar_t* kLevelFormat = L"%s -- (%s)$";
inline constexpr const wchar_t* kProcessThreadFormat = L"[PID:%5lu TID:%5lu]$";
inline constexpr const wchar_t* kSourceLineFormat = L"[%s:%5d]$";
inline constexpr const wchar_t* kImageNameFormat = L"[%s]$";
inline constexpr const wchar_t* kFunctionFormat = L"[%s()]$";
inline constexpr const wchar_t* kWidthFormat = L"%%%lus";

// Field widths: cut to this many characters and right-aligned.
inline constexpr unsigned long kImageNameWidth = 15;
inline constexpr unsigned long kSourceFileWidth = 20;
inline constexpr unsigned long kFunctionWidth = 40;

// Local time of a line, as SYSTEMTIME carries it (hour 0 to 23).
struct LineTime {
    unsigned short year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The texts are views: they must outlive the call that formats the line.
struct FileLogLine {
    LineTime time;
    LogLevel level = 0;
    rk::DWORD options = 0;
    std::wstring_view image_name;
    std::uint32_t process_id = 0;
    std::uint32_t thread_id = 0;
    std::wstring_view source_file;  // any path; the part after the last separator is used
    int line = 0;
    std::wstring_view function;
    std::wstring_view message;
};

// The line as it goes into the file; nullopt for a level outside 1 to 6.
std::optional<std::wstring> FormatFileLogLine(const FileLogLine& line);

// The two parts of FormatFileLogLine, for a writer that keeps the first for
// the second it was made in: the time stamp with the level (nullopt for a
// level outside 1 to 6), and the fields and message appended after it.
std::optional<std::wstring> FormatLineHead(const LineTime& time, LogLevel level);
void AppendLineBody(const FileLogLine& line, std::wstring& out);

LineTime LocalLineTime();
LineTime LocalLineTime(std::int64_t seconds_since_1970);

}  // namespace ETWLogging
