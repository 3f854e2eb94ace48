// v2::CEvent: an "event" tracker whose unique identifier becomes the
// attribute "UniqueIdentifier"; category, action, label and value go to
// "Event.Category", "Event.Action", "Event.Label" and "Event.Value".
#pragma once

#include <cstdint>
#include <string>

#include "analytics/fluent_tracker.h"
#include "analytics/tracker.h"

namespace Halden::Analytics {

namespace v2 {

class CEvent : public internal::CFluentTracker<CEvent, internal::CTracker> {
public:
    // Null means an empty identifier.
    explicit CEvent(const wchar_t* unique_id);

    virtual CEvent& SetCategory(const std::wstring& category);
    virtual CEvent& SetCategory(const wchar_t* category);
    virtual CEvent& SetAction(const std::wstring& action);
    virtual CEvent& SetAction(const wchar_t* action);
    virtual CEvent& SetLabel(const std::wstring& label);
    virtual CEvent& SetLabel(const wchar_t* label);
    virtual CEvent& SetValue(std::uint32_t value);
};

}  // namespace v2

// Attribute setters for any tracker; a null or reserved name is ignored, a
// null value is stored as empty.
internal::CTracker& SetStringAttribute(internal::CTracker& tracker, const wchar_t* name, const wchar_t* value);
internal::CTracker& SetNumericAttribute(internal::CTracker& tracker, const wchar_t* name, std::uint32_t value);

}  // namespace Halden::Analytics
