// Reporting one updater event (the polling loop's entry into telemetry).
//
// SendRkUpdaterModuleEvents forms the payload ("errcode=errcode:<detail>",
// empty for an empty detail), logs it, and tracks the event. Until the
// analytics engine exists, tracking hands (id, detail) to the observer set
// below and counts an event as tracked when the events tracker would accept
// its identifier (1 to 96). Nothing is raised to the caller.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/errors/win_error.h"

void SendRkUpdaterModuleEvents(rk::DWORD id, const std::wstring& detail);

namespace rk::telemetry {

inline constexpr std::wstring_view kPayloadPrefix = L"errcode=errcode:";

// The payload an event detail becomes.
std::wstring FormPayload(std::wstring_view detail);

// TrackEvent: 0 when the event was tracked, 1 when not.
DWORD TrackEvent(DWORD id, const std::wstring& payload);

// Receives every reported event with the detail as the loop passed it.
// Called on the reporting thread (the manifest worker), one event at a time.
using UpdaterEventObserver = std::function<void(DWORD id, const std::wstring& detail)>;

// Installs `observer` (empty: none) and returns the previous one.
UpdaterEventObserver SetUpdaterEventObserver(UpdaterEventObserver observer);

}  // namespace rk::telemetry
