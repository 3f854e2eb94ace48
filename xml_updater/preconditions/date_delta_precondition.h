// DATE_DELTA: Name (year-month-day) against today shifted by Value days.
#pragma once

#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

class CDateDeltaPrecondition final : public IPrecondition, public CPreconditionFactorySupport<CDateDeltaPrecondition> {
public:
    bool IsPreconditionSatisfied(const AttributeMap& attributes, CSubstitutionManager* substitutions,
                                 AttributeMap& arguments) override;
};

}  // namespace XMLUpdater::v2
