// RkAnalyticsTracker: turns one event's tracking data into an analytics
// event of the engine's tracker. The category picks the sender ("Life",
// "Scan", "Clicks", "Error"; this program sends only life events of the
// updater module).
#pragma once

#include <string>

#include "telemetry/rk_tracking_params.h"

namespace rk::telemetry {

inline constexpr wchar_t kAttrHitLabel1[] = L"Hit.Label.1";
inline constexpr wchar_t kAttrHitResult[] = L"hit_result";
inline constexpr wchar_t kAttrHitSource[] = L"hit_source";
inline constexpr wchar_t kUnknownStateValue[] = L"unknown";

class RkAnalyticsTracker {
public:
    // Whether the event was sent.
    bool SendTrackingData(RkTrackingParams* params);

    // Sends the record of one updater event: category, display label as the
    // action, the action as the label, "Hit.Label.1" (except for the
    // heart-beat and precondition-check-started events), "hit_result" and
    // "hit_source" from lbstate.ini ("unknown" when missing).
    bool SendUpdaterModuleEvent(const std::wstring& event_name, const std::wstring& category,
                                const std::wstring& display_label, const std::wstring& action,
                                const std::wstring& err_code_status);

    // Whether `category` selects `keyword`: equal without regard to case
    // over the category's length, at most the keyword's.
    static bool CategoryMatches(const std::wstring& category, const std::wstring& keyword);

private:
    bool SendLifeEvent(const std::wstring& action, const std::wstring& label, const std::wstring& err_code_status);
};

}  // namespace rk::telemetry
