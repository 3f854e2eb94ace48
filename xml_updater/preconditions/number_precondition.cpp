#include "xml_updater/preconditions/number_precondition.h"

#include "xml_updater/preconditions/number_compare.h"
#include "xml_updater/preconditions/precondition_constants.h"
#include "xml_updater/preconditions/precondition_operands.h"

namespace XMLUpdater::v2 {

bool CNumberPrecondition::IsPreconditionSatisfied(const AttributeMap& attributes, CSubstitutionManager* substitutions,
                                                  AttributeMap& arguments) {
    if (!read_operands(attributes, substitutions, {kAttrName, kAttrCompare, kAttrValue}, arguments,
                       L"CNumberPrecondition::IsPreconditionSatisfied")) {
        return false;
    }
    return compare_numbers(operand(arguments, kAttrName), operand(arguments, kAttrCompare), operand(arguments, kAttrValue)) ==
           CompareOutcome::True;
}

}  // namespace XMLUpdater::v2
