// The analytics record: named string attributes, and the names the engine
// itself writes.
#pragma once

#include <string>
#include <unordered_map>

namespace Halden::Analytics {

// Attribute name -> value; names are case-sensitive, numbers are stored as
// their decimal text.
using Record = std::unordered_map<std::wstring, std::wstring>;

// Names that begin with this are written only by sending.
inline constexpr wchar_t kReservedPrefix[] = L"__";

inline constexpr wchar_t kAttrTrackApiVersion[] = L"__track.api.version";
inline constexpr wchar_t kTrackApiVersion[] = L"1.2.0";
inline constexpr wchar_t kAttrTrackerType[] = L"Tracker.Type";
inline constexpr wchar_t kAttrRecordCreated[] = L"__record.created";
inline constexpr wchar_t kAttrRecordCreatedRaw[] = L"__record.created.raw";
inline constexpr wchar_t kAttrRecordCreatedSeconds[] = L"__record.created.seconds";
inline constexpr wchar_t kAttrCallerName[] = L"__caller.name";
inline constexpr wchar_t kAttrTransportName[] = L"__transport.name";
inline constexpr wchar_t kAttrUniqueIdentifier[] = L"UniqueIdentifier";

inline constexpr wchar_t kAttrEventCategory[] = L"Event.Category";
inline constexpr wchar_t kAttrEventAction[] = L"Event.Action";
inline constexpr wchar_t kAttrEventLabel[] = L"Event.Label";
inline constexpr wchar_t kAttrEventValue[] = L"Event.Value";

// Tracker types; this program creates only event trackers.
inline constexpr wchar_t kTrackerTypeEvent[] = L"event";
inline constexpr wchar_t kTrackerTypeScreen[] = L"screen";
inline constexpr wchar_t kTrackerTypeException[] = L"exception";
inline constexpr wchar_t kTrackerTypeTiming[] = L"timing";

// "%Y-%m-%d %TZ", the UTC creation time's format.
inline constexpr wchar_t kRecordTimeFormat[] = L"%Y-%m-%d %TZ";

bool IsReservedName(const std::wstring& name);

}  // namespace Halden::Analytics
