// VER: dotted versions compared segment by segment with the NUM rules.
#pragma once

#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

class CVersionPrecondition final : public IPrecondition, public CPreconditionFactorySupport<CVersionPrecondition> {
public:
    bool IsPreconditionSatisfied(const AttributeMap& attributes, CSubstitutionManager* substitutions,
                                 AttributeMap& arguments) override;
};

}  // namespace XMLUpdater::v2
