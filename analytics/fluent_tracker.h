// internal::CFluentTracker<T, Base>: setters that return the tracker itself
// so that calls chain:
//   CEvent(L"id").SetCategory(L"Life").Set(L"hit_result", L"clean").Send();
// A null name is ignored, a null value is stored as an empty value, numbers
// are stored as decimal text; reserved names ("__...") are refused.
#pragma once

#include <cstdint>
#include <string>

namespace Halden::Analytics::internal {

template <typename T, typename Base>
class CFluentTracker : public Base {
public:
    using Base::Base;

    T& Set(const std::wstring& name, const std::wstring& value) {
        Base::SetAttribute(name, value);
        return self();
    }
    T& Set(const wchar_t* name, const wchar_t* value) {
        if (name != nullptr) {
            Base::SetAttribute(name, value != nullptr ? value : L"");
        }
        return self();
    }
    T& Set(const std::wstring& name, std::uint32_t value) {
        Base::SetAttribute(name, std::to_wstring(value));
        return self();
    }

protected:
    T& self() { return static_cast<T&>(*this); }
};

}  // namespace Halden::Analytics::internal
