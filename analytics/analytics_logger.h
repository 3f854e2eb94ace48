// CAnalyticsLogger: writes one entry line to an analytics log stream.
#pragma once

#include <ostream>
#include <string>

namespace Halden::Analytics {

inline constexpr wchar_t kMsgNullStream[] = L"logStream is null. Not going to log";
inline constexpr wchar_t kMsgStreamNotOpen[] = L"LogStream is not open";
inline constexpr wchar_t kMsgStreamNotGood[] = L"LogStream is not good";

// A log file's stream: open or not, and the stream itself.
struct LogStream {
    bool open = false;
    std::ostream* stream = nullptr;
};

class CAnalyticsLogger {
public:
    // Writes `entry` (UTF-8) and a line end and flushes; false (logged)
    // when there is no stream, it is not open or it is in a failed state.
    static bool Log(const LogStream* log_stream, const std::wstring& entry);
};

}  // namespace Halden::Analytics
