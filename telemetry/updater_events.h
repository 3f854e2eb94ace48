// The updater's event identifiers (the polling loop reports them; the
// product's events tracker knows them as installation "life" events), and
// what each becomes as an analytics event.
#pragma once

#include <optional>
#include <string_view>

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

// Tracking values of every updater event.
inline constexpr std::wstring_view kCategoryLife = L"Life";
inline constexpr std::wstring_view kActionRkUpdaterModule = L"RkUpdaterModule";

struct UpdaterEvent {
    DWORD id;
    std::wstring_view tracking_label;  // "el"
    std::wstring_view display_label;   // the record's "Event.Action"
    std::wstring_view event_name;      // the record's unique identifier
    bool carries_detail;               // sets "Hit.Label.1"
};

inline constexpr UpdaterEvent kUpdaterEvents[] = {
    {kEventParseXmlFailed, L"ParseXMLFailed", L"ParseXML Failed", L"lumora_rkupdater_parsexml_failed", true},
    {kEventHeartBeat, L"RkUpdaterHeartBeat", L"RkUpdater Heartbeat", L"lumora_rkupdater_heartbeat", false},
    {kEventPrecondCheckStarted, L"PrecondCheckStarted", L"Precondition Check Started",
     L"lumora_rkupdater_precond_check_started", false},
    {kEventPrecondCheckSuccess, L"PrecondCheckSuccess", L"Precondition Check Success",
     L"lumora_rkupdater_precond_check_success", true},
    {kEventPrecondCheckFailed, L"PrecondCheckFailed", L"Precondition Check Failed",
     L"lumora_rkupdater_precond_check_failed", true},
    {kEventDownloadExecuteFailed, L"DwnldExecuteFailed", L"DownloadExecute Failed",
     L"lumora_rkupdater_dwnldexecute_failed", true},
    {kEventDownloadExecuteSuccess, L"DwnldExecuteSuccess", L"DownloadExecute Success",
     L"lumora_rkupdater_dwnldexecute_success", true},
};

constexpr std::optional<UpdaterEvent> updater_event_by_id(DWORD id) {
    for (const auto& e : kUpdaterEvents) {
        if (e.id == id) return e;
    }
    return std::nullopt;
}

constexpr std::optional<UpdaterEvent> updater_event_by_label(std::wstring_view tracking_label) {
    for (const auto& e : kUpdaterEvents) {
        if (e.tracking_label == tracking_label) return e;
    }
    return std::nullopt;
}

// The events tracker's parameter groups.
enum class EventGroup { kNone, kInstallation, kScanResults, kUserInteract, kErrorTracking, kHeartbeat };

EventGroup event_group_of(DWORD id);

}  // namespace rk::telemetry
