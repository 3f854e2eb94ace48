#include "telemetry/rk_events_tracker.h"

#include <memory>

#include "platform/logging/process_logger.h"
#include "telemetry/rk_analytics_tracker.h"
#include "telemetry/rk_installation_params.h"
#include "telemetry/updater_events.h"

namespace rk::telemetry {
namespace {

constexpr wchar_t kFile[] = L"RkEventsTracker.cpp";

bool in_range(std::int32_t id) {
    return id >= static_cast<std::int32_t>(kFirstTrackedEvent) && id <= static_cast<std::int32_t>(kLastTrackedEvent);
}

}  // namespace

EventGroup event_group_of(DWORD id) {
    struct Range {
        DWORD first, last;
        EventGroup group;
    };
    static constexpr Range kRanges[] = {
        {1, 1, EventGroup::kInstallation},    {3, 4, EventGroup::kInstallation},   {6, 7, EventGroup::kInstallation},
        {9, 13, EventGroup::kInstallation},   {47, 49, EventGroup::kInstallation}, {64, 71, EventGroup::kInstallation},
        {79, 88, EventGroup::kInstallation},  {14, 17, EventGroup::kScanResults},  {25, 25, EventGroup::kScanResults},
        {32, 32, EventGroup::kScanResults},   {35, 35, EventGroup::kScanResults},  {38, 44, EventGroup::kScanResults},
        {46, 46, EventGroup::kScanResults},   {50, 60, EventGroup::kScanResults},  {72, 74, EventGroup::kScanResults},
        {77, 78, EventGroup::kScanResults},   {89, 93, EventGroup::kScanResults},  {18, 19, EventGroup::kUserInteract},
        {21, 23, EventGroup::kUserInteract},  {26, 31, EventGroup::kUserInteract}, {33, 34, EventGroup::kUserInteract},
        {36, 37, EventGroup::kUserInteract},  {45, 45, EventGroup::kUserInteract}, {61, 63, EventGroup::kUserInteract},
        {75, 76, EventGroup::kUserInteract},  {94, 96, EventGroup::kUserInteract}, {20, 20, EventGroup::kErrorTracking},
        {24, 24, EventGroup::kHeartbeat},
    };
    for (const auto& r : kRanges) {
        if (id >= r.first && id <= r.last) {
            return r.group;
        }
    }
    return EventGroup::kNone;
}

HRESULT_T RkEventsTracker::GetIDsOfNames(const std::wstring& name, DISPID& id) const {
    if (name != kMethodTrackEvent) {
        return kDispEUnknownName;
    }
    id = kDispIdTrackEvent;
    return 0;
}

HRESULT_T RkEventsTracker::Invoke(DISPID id, std::span<const Variant> args, Variant& result) {
    if (id != kDispIdTrackEvent) {
        return kDispEMemberNotFound;
    }
    if (args.size() != 2) {
        return kDispEBadParamCount;
    }
    result = TrackEvent(args[0], args[1]);
    return 0;
}

Variant RkEventsTracker::TrackEvent(const Variant& param1, const Variant& param2) {
    if (param1.vt() != VarType::kI4 || !in_range(param1.lVal())) {
        return Variant::Bool(false);
    }
    const auto id = static_cast<DWORD>(param1.lVal());
    // Every group's data includes the payload text.
    if (param2.vt() != VarType::kBstr) {
        return Variant::Bool(false);
    }
    if (event_group_of(id) != EventGroup::kInstallation) {
        if (IsLogLevelEnabled(log_level::kError)) {
            LogMessage(log_level::kError, kFile, L"RkEventsTracker::TrackEvent", __LINE__,
                       L"Event %d belongs to a group of the product's own interface and is not sent by this program",
                       id);
        }
        return Variant::Bool(false);
    }
    auto params = std::make_unique<RkInstallationParams>(id, param2.bstrVal());
    RkAnalyticsTracker tracker;
    return Variant::Bool(tracker.SendTrackingData(params.get()));
}

}  // namespace rk::telemetry
