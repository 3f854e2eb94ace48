#include "telemetry/rk_analytics_tracker.h"

#include <algorithm>

#include "analytics/event.h"
#include "app/config/rk_bs_config.h"
#include "platform/logging/process_logger.h"
#include "platform/text/strings.h"
#include "telemetry/rk_key_value_data_parser.h"
#include "telemetry/updater_events.h"

namespace rk::telemetry {
namespace {

constexpr wchar_t kFile[] = L"RkAnalyticsTracker.cpp";
constexpr wchar_t kSendTrackingData[] = L"RkAnalyticsTracker::SendTrackingData";

template <typename... A>
void log(LogLevel level, const wchar_t* function, int line, const wchar_t* format, const A&... args) {
    if (IsLogLevelEnabled(level)) {
        LogMessage(level, kFile, function, line, format, args...);
    }
}

constexpr const wchar_t* kCategoryKeywords[] = {L"Life", L"Scan", L"Clicks", L"Error"};

}  // namespace

bool RkAnalyticsTracker::CategoryMatches(const std::wstring& category, const std::wstring& keyword) {
    const std::size_t n = std::min(category.size(), keyword.size());
    return text::iequals(std::wstring_view(category).substr(0, n), std::wstring_view(keyword).substr(0, n));
}

bool RkAnalyticsTracker::SendTrackingData(RkTrackingParams* params) {
    log(log_level::kInformation, kSendTrackingData, __LINE__, L"RkAnalyticsTracker::SendTrackingData - start");
    if (params == nullptr) {
        log(log_level::kError, kSendTrackingData, __LINE__, L"RkAnalyticsTracker::SendTrackingData trackingParams is NULL");
        return false;
    }
    std::wstring data;
    if (!params->GetTrackingData(data)) {
        log(log_level::kError, kSendTrackingData, __LINE__,
            L"RkAnalyticsTracker::SendTrackingData - Failed to get tracking data");
        return false;
    }
    KeyValueList pairs;
    if (!CRkKeyValueDataParser::ParseByAmpersand(data, pairs)) {
        log(log_level::kError, kSendTrackingData, __LINE__,
            L"RkAnalyticsTracker::SendTrackingData ParseByAmpersand failed.");
        return false;
    }
    if (pairs.empty()) {
        log(log_level::kError, kSendTrackingData, __LINE__,
            L"RkAnalyticsTracker::SendTrackingData KeyValuePairList is NULL.");
        return false;
    }
    const struct {
        const wchar_t* key;
        const wchar_t* failure;
    } required[] = {
        {kKeyCategory, L"RkAnalyticsTracker::SendTrackingData GetValue for Event Category failed."},
        {kKeyAction, L"RkAnalyticsTracker::SendTrackingData GetValue for Event Action failed."},
        {kKeyLabel, L"RkAnalyticsTracker::SendTrackingData GetValue for Event Label failed."},
    };
    for (const auto& r : required) {
        if (pairs.find(r.key) == pairs.end()) {
            log(log_level::kError, kSendTrackingData, __LINE__, r.failure);
            return false;
        }
    }
    const std::wstring& category = pairs[kKeyCategory];
    for (const wchar_t* keyword : kCategoryKeywords) {
        if (!CategoryMatches(category, keyword)) {
            continue;
        }
        if (keyword == kCategoryKeywords[0]) {
            return SendLifeEvent(pairs[kKeyAction], pairs[kKeyLabel], pairs[kKeyErrCodeStatus]);
        }
        log(log_level::kError, kSendTrackingData, __LINE__,
            L"RkAnalyticsTracker::SendTrackingData - %s events are not sent by this program", keyword);
        return false;
    }
    log(log_level::kError, kSendTrackingData, __LINE__,
        L"RkAnalyticsTracker::SendTrackingData - unknown event category %s", category);
    return false;
}

bool RkAnalyticsTracker::SendLifeEvent(const std::wstring& action, const std::wstring& label,
                                       const std::wstring& err_code_status) {
    constexpr wchar_t kFunction[] = L"RkAnalyticsTracker::SendLifeEvent";
    if (action != kActionRkUpdaterModule) {
        log(log_level::kError, kFunction, __LINE__,
            L"RkAnalyticsTracker::SendLifeEvent - %s life events are not sent by this program", action);
        return false;
    }
    const auto event = updater_event_by_label(label);
    if (!event) {
        log(log_level::kError, kFunction, __LINE__, L"No event label found for RkUpdater Module");
        return false;
    }
    return SendUpdaterModuleEvent(std::wstring(event->event_name), std::wstring(kCategoryLife),
                                  std::wstring(event->display_label), std::wstring(kActionRkUpdaterModule),
                                  err_code_status);
}

bool RkAnalyticsTracker::SendUpdaterModuleEvent(const std::wstring& event_name, const std::wstring& category,
                                                const std::wstring& display_label, const std::wstring& action,
                                                const std::wstring& err_code_status) {
    constexpr wchar_t kFunction[] = L"RkAnalyticsTracker::SendUpdaterModuleEvent";
    const RkBsConfig config;
    std::wstring install_source = kUnknownStateValue;
    if (config.GetRuntimeValue(app::kSectionBrightscan, app::kValueInstallSource, install_source) != 0) {
        log(log_level::kInformation, kFunction, __LINE__,
            L"Successfully read the InstallSource for Life LI and Upgrade events");
    }
    std::wstring scan_status = kUnknownStateValue;
    if (config.GetRuntimeValue(app::kSectionLastScanResult, app::kValueScanStatus, scan_status) != 0) {
        log(log_level::kInformation, kFunction, __LINE__, L"Successfully read the scan status");
    }
    Halden::Analytics::v2::CEvent record(event_name.c_str());
    record.SetCategory(category).SetAction(display_label).SetLabel(action);
    const auto event = updater_event_by_id(kEventHeartBeat);
    const auto started = updater_event_by_id(kEventPrecondCheckStarted);
    if (event_name != event->event_name && event_name != started->event_name) {
        record.Set(kAttrHitLabel1, err_code_status);
    }
    record.Set(kAttrHitResult, scan_status).Set(kAttrHitSource, install_source);
    record.Send();
    return true;
}

}  // namespace rk::telemetry
