#include "platform/system/wmi/wbem_enumerator.h"

namespace rk::sys::wmi {

HRESULT WbemEnumerator::next(std::shared_ptr<const WbemClassObject>& object) {
    if (position_ == objects_.size()) {
        object.reset();
        return win::kWbemSFalse;
    }
    object = objects_[position_++];
    return win::kSOk;
}

HRESULT WbemEnumerator::reset() {
    position_ = 0;
    return win::kSOk;
}

}  // namespace rk::sys::wmi
