// NUM: Name and Value as signed 64-bit decimal numbers (number_compare.h).
#pragma once

#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

class CNumberPrecondition final : public IPrecondition, public CPreconditionFactorySupport<CNumberPrecondition> {
public:
    bool IsPreconditionSatisfied(const AttributeMap& attributes, CSubstitutionManager* substitutions,
                                 AttributeMap& arguments) override;
};

}  // namespace XMLUpdater::v2
