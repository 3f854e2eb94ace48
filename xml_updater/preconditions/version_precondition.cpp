#include "xml_updater/preconditions/version_precondition.h"

#include <algorithm>
#include <vector>

#include "platform/text/strings.h"
#include "xml_updater/preconditions/number_compare.h"
#include "xml_updater/preconditions/precondition_constants.h"
#include "xml_updater/preconditions/precondition_operands.h"
#include "xml_updater/substitutions/substitution_constants.h"

namespace XMLUpdater::v2 {
namespace {

constexpr wchar_t kPaddingSegment[] = L"0";

// NEQ, GT and LT are evaluated as the negation of EQ, LE and GE.
std::wstring mapped_operator(const std::wstring& op, bool& negate) {
    negate = true;
    if (op == kOpNeq) {
        return kOpEq;
    }
    if (op == kOpGt) {
        return kOpLe;
    }
    if (op == kOpLt) {
        return kOpGe;
    }
    negate = false;
    return op;
}

}  // namespace

bool CVersionPrecondition::IsPreconditionSatisfied(const AttributeMap& attributes, CSubstitutionManager* substitutions,
                                                   AttributeMap& arguments) {
    if (!read_operands(attributes, substitutions, {kAttrName, kAttrCompare, kAttrValue}, arguments,
                       L"CVersionPrecondition::IsPreconditionSatisfied")) {
        return false;
    }
    const std::wstring& name = operand(arguments, kAttrName);
    const std::wstring& value = operand(arguments, kAttrValue);
    bool negate = false;
    const std::wstring op = mapped_operator(operand(arguments, kAttrCompare), negate);
    if (name == kUnknownValue) {
        compare_numbers(name, op, value);  // logs that the key does not exist
        return false;
    }
    const std::vector<std::wstring> left = rk::text::split(name, L'.');
    const std::vector<std::wstring> right = rk::text::split(value, L'.');
    const std::size_t count = std::max(left.size(), right.size());
    bool result = true;
    for (std::size_t i = 0; i < count; ++i) {
        const std::wstring& a = i < left.size() ? left[i] : kPaddingSegment;
        const std::wstring& b = i < right.size() ? right[i] : kPaddingSegment;
        NumberPair numbers;
        const CompareOutcome outcome = compare_numbers(a, op, b, &numbers);
        if (outcome == CompareOutcome::Error) {
            return false;  // a segment that is no number fails every operator
        }
        if (outcome == CompareOutcome::False) {
            result = false;
            break;
        }
        if (numbers.name != numbers.value) {
            break;
        }
    }
    return negate ? !result : result;
}

}  // namespace XMLUpdater::v2
