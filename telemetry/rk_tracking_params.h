// RkTrackingParams: one event's tracking data as "key=value" pairs joined
// by "&" (values encoded by CRkKeyValueDataParser::EncodeValue).
#pragma once

#include <string>

namespace rk::telemetry {

inline constexpr wchar_t kKeyCategory[] = L"ec";
inline constexpr wchar_t kKeyAction[] = L"ea";
inline constexpr wchar_t kKeyLabel[] = L"el";
inline constexpr wchar_t kKeyErrCodeStatus[] = L"ErrCodeStatus";

class RkTrackingParams {
public:
    RkTrackingParams() = default;
    RkTrackingParams(const RkTrackingParams&) = delete;
    RkTrackingParams& operator=(const RkTrackingParams&) = delete;
    virtual ~RkTrackingParams() = default;

    // False when the data cannot be gathered.
    virtual bool GetTrackingData(std::wstring& data) = 0;
};

}  // namespace rk::telemetry
