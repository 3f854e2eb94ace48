// RkInstallationParams: tracking data of the installation ("life") group.
// For the updater's events: "ec" Life, "ea" RkUpdaterModule, "el" the
// event's tracking label, "ErrCodeStatus" the payload's "errcode" value,
// and the machine and product facts below. Other identifiers of the group
// have no label in this program (their sending then fails on "el").
#pragma once

#include <string>

#include "platform/errors/win_error.h"
#include "telemetry/rk_tracking_params.h"

namespace rk::telemetry {

inline constexpr wchar_t kKeyOsName[] = L"os";
inline constexpr wchar_t kKeyOsVersion[] = L"osver";
inline constexpr wchar_t kKeyMachineId[] = L"mid";
inline constexpr wchar_t kKeyTrackingId[] = L"tid";
inline constexpr wchar_t kPayloadErrCode[] = L"errcode";
// Used when lbstate.ini names no tracking identifier.
inline constexpr wchar_t kDefaultTrackingId[] = L"RK-LUMORA-0001";

class RkInstallationParams final : public RkTrackingParams {
public:
    RkInstallationParams(DWORD id, std::wstring payload) : id_(id), payload_(std::move(payload)) {}
    bool GetTrackingData(std::wstring& data) override;

private:
    bool PopulateMembersForInstallation();

    DWORD id_;
    std::wstring payload_;
    std::wstring err_code_status_;
    std::wstring os_name_;
    std::wstring os_version_;
    std::wstring machine_id_;
    std::wstring tracking_id_;
};

}  // namespace rk::telemetry
