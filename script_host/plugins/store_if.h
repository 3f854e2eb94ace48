// A store of named values that native code reads and writes.
#pragma once

#include <string>

namespace Corvane::Script {

template <typename T>
class IStore {
public:
    virtual ~IStore() = default;
    // False (and `value` cleared) when the name is unknown.
    virtual bool Get(const std::wstring& name, T& value) const = 0;
    // False when the value is refused.
    virtual bool Set(const std::wstring& name, const T& value) = 0;
};

}  // namespace Corvane::Script
