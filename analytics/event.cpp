#include "analytics/event.h"

namespace Halden::Analytics {
namespace v2 {

CEvent::CEvent(const wchar_t* unique_id) : CFluentTracker(kTrackerTypeEvent) {
    Set(kAttrUniqueIdentifier, unique_id);
}

CEvent& CEvent::SetCategory(const std::wstring& category) { return Set(kAttrEventCategory, category); }
CEvent& CEvent::SetCategory(const wchar_t* category) { return Set(kAttrEventCategory, category); }
CEvent& CEvent::SetAction(const std::wstring& action) { return Set(kAttrEventAction, action); }
CEvent& CEvent::SetAction(const wchar_t* action) { return Set(kAttrEventAction, action); }
CEvent& CEvent::SetLabel(const std::wstring& label) { return Set(kAttrEventLabel, label); }
CEvent& CEvent::SetLabel(const wchar_t* label) { return Set(kAttrEventLabel, label); }
CEvent& CEvent::SetValue(std::uint32_t value) { return Set(kAttrEventValue, value); }

}  // namespace v2

internal::CTracker& SetStringAttribute(internal::CTracker& tracker, const wchar_t* name, const wchar_t* value) {
    if (name != nullptr) {
        tracker.SetAttribute(name, value != nullptr ? value : L"");
    }
    return tracker;
}

internal::CTracker& SetNumericAttribute(internal::CTracker& tracker, const wchar_t* name, std::uint32_t value) {
    if (name != nullptr) {
        tracker.SetAttribute(name, std::to_wstring(value));
    }
    return tracker;
}

}  // namespace Halden::Analytics
