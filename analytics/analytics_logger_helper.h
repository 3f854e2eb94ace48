// CAnalyticsLoggerHelper: the legacy automation logs of the analytics
// engine. When the registry switch is on, entries (one JSON object per
// line) are appended to three files in
// "$(FOLDERID_ProgramData)\Corvane\ClientAnalytics": raw records, the
// transports used, automation errors. Otherwise nothing is written and no
// folder is made. The files are UTF-8, opened on first use and kept open
// for the process, shared by every writer.
#pragma once

#include <cstdint>
#include <string>

#include "analytics/analytics_logger.h"
#include "analytics/record.h"

namespace Halden::Analytics {

inline constexpr wchar_t kLoggerSwitchKey[] = L"Software\\Corvane\\RkClientAnalytics";
inline constexpr wchar_t kLoggerSwitchValue[] = L"enableLegacyAutomationLogs";
inline constexpr std::uint32_t kLoggerSwitchAccess = 0x2001F;
inline constexpr wchar_t kLoggerFolder[] = L"$(FOLDERID_ProgramData)\\Corvane\\ClientAnalytics";
inline constexpr wchar_t kRawTrackLogFile[] = L"RawTrackLog.txt";
inline constexpr wchar_t kTransportsLogFile[] = L"TransportsLog.txt";
inline constexpr wchar_t kErrorLogFile[] = L"ErrorLog.txt";
inline constexpr wchar_t kUnspecifiedLogEntry[] = L"{\"error\": \"unspecified log\"}";

enum class LogType : int { kRawTrack = 0, kTransports = 1, kAutomationError = 2 };

// Record status of a transports entry.
enum RecordStatus : int { kRecordFail = 0, kRecordSuccess = 1, kRecordUnprocessed = 2 };

class CAnalyticsLoggerHelper {
public:
    // Reads the switch.
    CAnalyticsLoggerHelper();

    bool IsEnabled() const { return enabled_; }

    void WriteRawTrack(const std::wstring& unique_id, const std::wstring& data);
    void WriteTransports(const std::wstring& unique_id, const std::wstring& transport, bool success,
                         const std::wstring& data);
    void WriteAutomationError(const std::wstring& unique_id, const std::wstring& data, const std::wstring& error);
    // Any kind; unknown kinds are logged and not written.
    void Write(int type, const Record& entry);

    // The entry line of named values: their JSON object, or the
    // "unspecified log" line when it cannot be built.
    static std::wstring BuildEntry(const Record& entry);
    static std::wstring StatusText(int status);
    // The current UTC time as "%Y-%m-%d %TZ".
    static std::wstring TimeStamp();

    // Closes the process's log streams (tests that change the root).
    static void CloseStreams();

private:
    bool enabled_ = false;
};

}  // namespace Halden::Analytics
