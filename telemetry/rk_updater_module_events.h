// Reporting one updater event (the polling loop's entry into telemetry).
//
// SendRkUpdaterModuleEvents forms the payload ("errcode=errcode:<detail>",
// empty for an empty detail), logs it, hands (id, detail) to the observer
// set below and tracks the event through the events tracker, which sends it
// as an analytics record. Nothing is raised to the caller.
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

// TrackEvent: the events tracker's answer; 0 when the event was tracked
// (sent), 1 when not.
DWORD TrackEvent(DWORD id, const std::wstring& payload);

// Receives every reported event with the detail as the loop passed it.
// Called on the reporting thread (the manifest worker), one event at a time.
using UpdaterEventObserver = std::function<void(DWORD id, const std::wstring& detail)>;

// Installs `observer` (empty: none) and returns the previous one.
UpdaterEventObserver SetUpdaterEventObserver(UpdaterEventObserver observer);

}  // namespace rk::telemetry
