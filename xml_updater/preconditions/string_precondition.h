// STR: Name EQ / NEQ Value code unit by code unit, or Name matched by the regular expression Value (RE).
#pragma once

#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

class CStringPrecondition final : public IPrecondition, public CPreconditionFactorySupport<CStringPrecondition> {
public:
    bool IsPreconditionSatisfied(const AttributeMap& attributes, CSubstitutionManager* substitutions,
                                 AttributeMap& arguments) override;
};

}  // namespace XMLUpdater::v2
