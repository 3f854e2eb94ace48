// DATE: two dates written year-month-day ("%d-%d-%d").
#pragma once

#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

class CDatePrecondition final : public IPrecondition, public CPreconditionFactorySupport<CDatePrecondition> {
public:
    bool IsPreconditionSatisfied(const AttributeMap& attributes, CSubstitutionManager* substitutions,
                                 AttributeMap& arguments) override;
};

}  // namespace XMLUpdater::v2
