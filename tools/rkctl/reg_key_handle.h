// Owner of one open registry key handle.
#pragma once

#include "platform/system/registry/registry.h"

namespace rk::ctl {

class RegKeyHandle {
public:
    RegKeyHandle() = default;
    ~RegKeyHandle() { reset(); }
    RegKeyHandle(const RegKeyHandle&) = delete;
    RegKeyHandle& operator=(const RegKeyHandle&) = delete;

    sys::reg::HKEY get() const { return key_; }
    // For the out parameter of RegOpenKeyExW / RegCreateKeyExW.
    sys::reg::HKEY* put() {
        reset();
        return &key_;
    }
    void reset() {
        if (key_ != nullptr) sys::reg::RegCloseKey(key_);
        key_ = nullptr;
    }

private:
    sys::reg::HKEY key_ = nullptr;
};

}  // namespace rk::ctl
