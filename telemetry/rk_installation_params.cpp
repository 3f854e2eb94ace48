#include "telemetry/rk_installation_params.h"

#include "app/config/rk_bs_config.h"
#include "app/config/rk_common_helper.h"
#include "platform/logging/process_logger.h"
#include "telemetry/rk_key_value_data_parser.h"
#include "telemetry/updater_events.h"

namespace rk::telemetry {
namespace {

constexpr wchar_t kFile[] = L"RkInstallationParams.cpp";

void append(std::wstring& data, std::wstring_view key, std::wstring_view value) {
    if (!data.empty()) {
        data += L'&';
    }
    data.append(key);
    data += L'=';
    data += CRkKeyValueDataParser::EncodeValue(value);
}

}  // namespace

bool RkInstallationParams::PopulateMembersForInstallation() {
    KeyValueList pairs;
    if (!CRkKeyValueDataParser::Parse(payload_, L'&', pairs)) {
        return false;
    }
    if (const auto it = pairs.find(kPayloadErrCode); it != pairs.end()) {
        err_code_status_ = it->second;
    }
    RkCommonHelper::GetOSName(os_name_);
    RkCommonHelper::GetWindowsVersion(os_version_);
    RkCommonHelper::GetMachineGuid(machine_id_);
    if (RkBsConfig().GetRuntimeValue(app::kSectionDataAnalytics, app::kValueTrackingId, tracking_id_) == 0) {
        tracking_id_ = kDefaultTrackingId;
    }
    return true;
}

bool RkInstallationParams::GetTrackingData(std::wstring& data) {
    if (!PopulateMembersForInstallation()) {
        if (IsLogLevelEnabled(log_level::kError)) {
            LogMessage(log_level::kError, kFile, L"RkInstallationParams::GetTrackingData", __LINE__,
                       L"Populate Members in Auto Scan Params Failed.");
        }
        return false;
    }
    data.clear();
    append(data, kKeyCategory, kCategoryLife);
    if (const auto event = updater_event_by_id(id_)) {
        append(data, kKeyAction, kActionRkUpdaterModule);
        append(data, kKeyLabel, event->tracking_label);
    }
    append(data, kKeyErrCodeStatus, err_code_status_);
    append(data, kKeyOsName, os_name_);
    append(data, kKeyOsVersion, os_version_);
    append(data, kKeyMachineId, machine_id_);
    append(data, kKeyTrackingId, tracking_id_);
    return true;
}

}  // namespace rk::telemetry
