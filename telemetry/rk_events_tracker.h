// RkEventsTracker: the product's events tracker as an object with one
// dispatch method, "TrackEvent" (dispatch identifier 0): two Variant
// arguments, the event identifier (VT_I4) and the payload (VT_BSTR), and a
// VT_BOOL result. The identifier must be 1 to 96; its parameter group
// decides the tracking data. This program sends the installation group's
// updater events; the other groups belong to the product's own interface
// and installers and answer false here.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "telemetry/variant.h"

namespace rk::telemetry {

using DISPID = std::int32_t;
using HRESULT_T = std::int32_t;

inline constexpr DISPID kDispIdTrackEvent = 0;
inline constexpr wchar_t kMethodTrackEvent[] = L"TrackEvent";
inline constexpr HRESULT_T kDispEUnknownName = static_cast<HRESULT_T>(0x80020006u);
inline constexpr HRESULT_T kDispEMemberNotFound = static_cast<HRESULT_T>(0x80020003u);
inline constexpr HRESULT_T kDispEBadParamCount = static_cast<HRESULT_T>(0x8002000Eu);

class RkEventsTracker {
public:
    RkEventsTracker() = default;
    RkEventsTracker(const RkEventsTracker&) = delete;
    RkEventsTracker& operator=(const RkEventsTracker&) = delete;
    virtual ~RkEventsTracker() = default;

    // IDispatch::GetIDsOfNames for one name (exact text).
    HRESULT_T GetIDsOfNames(const std::wstring& name, DISPID& id) const;
    // IDispatch::Invoke of a method; `args` in declaration order (param1,
    // param2).
    HRESULT_T Invoke(DISPID id, std::span<const Variant> args, Variant& result);

    // The method itself; VT_BOOL true when the event was sent.
    virtual Variant TrackEvent(const Variant& param1, const Variant& param2);
};

}  // namespace rk::telemetry
