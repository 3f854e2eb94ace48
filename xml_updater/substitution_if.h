// A substitution of the token language: "[NAME:ARGUMENTS]".
#pragma once

#include <memory>
#include <string>

namespace XMLUpdater::v2 {

class CSubstitutionManager;

class ISubstitution {
public:
    // `arguments` is the text between the first ':' and the closing ']',
    // inner tokens already expanded. `manager` may be null.
    virtual std::wstring Substitute(const std::wstring& arguments, CSubstitutionManager* manager) = 0;
    virtual ~ISubstitution() = default;
};

using SubstitutionCreator = std::unique_ptr<ISubstitution> (*)();

}  // namespace XMLUpdater::v2
