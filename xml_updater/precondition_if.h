// A precondition type of update documents (the PRECONDITION Type attribute).
#pragma once

#include <memory>

#include "xml_updater/attribute_map.h"

namespace XMLUpdater::v2 {

class CSubstitutionManager;

class IPrecondition {
public:
    // `attributes` is the PRECONDITION's map (Name, Compare, Value, ...);
    // `substitutions` may be null (then false). `arguments` receives the
    // operands as the handler used them (expanded), for the test hook.
    virtual bool IsPreconditionSatisfied(const AttributeMap& attributes, CSubstitutionManager* substitutions,
                                         AttributeMap& arguments) = 0;
    virtual ~IPrecondition() = default;
};

using PreconditionCreator = std::unique_ptr<IPrecondition> (*)();

}  // namespace XMLUpdater::v2
