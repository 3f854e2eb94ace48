// The result of a query (IEnumWbemClassObject), forward-only with reset.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/errors/win_error.h"
#include "platform/system/wmi/wbem_class_object.h"

namespace rk::sys::wmi {

class WbemEnumerator {
public:
    explicit WbemEnumerator(std::vector<std::shared_ptr<const WbemClassObject>> objects)
        : objects_(std::move(objects)) {}

    // IEnumWbemClassObject::Next for one object: S_OK with the next object,
    // kWbemSFalse (and no object) after the last.
    HRESULT next(std::shared_ptr<const WbemClassObject>& object);
    // Back to the first object.
    HRESULT reset();

private:
    std::vector<std::shared_ptr<const WbemClassObject>> objects_;
    std::size_t position_ = 0;
};

}  // namespace rk::sys::wmi
