// The updater's event identifiers (the polling loop reports them; the
// product's events tracker knows them as installation "life" events).
#pragma once

#include "platform/errors/win_error.h"

namespace rk::telemetry {

inline constexpr DWORD kEventParseXmlFailed = 64;
inline constexpr DWORD kEventHeartBeat = 65;
inline constexpr DWORD kEventPrecondCheckStarted = 66;
inline constexpr DWORD kEventPrecondCheckSuccess = 67;
inline constexpr DWORD kEventPrecondCheckFailed = 68;
inline constexpr DWORD kEventDownloadExecuteFailed = 70;
inline constexpr DWORD kEventDownloadExecuteSuccess = 71;

// The identifiers the product's events tracker accepts.
inline constexpr DWORD kFirstTrackedEvent = 1;
inline constexpr DWORD kLastTrackedEvent = 96;

}  // namespace rk::telemetry
