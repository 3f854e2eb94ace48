#include "xml_updater/preconditions/string_precondition.h"

#include "xml_updater/preconditions/precondition_constants.h"
#include "xml_updater/preconditions/precondition_operands.h"
#include "xml_updater/preconditions/regex_match.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"string_precondition.cpp";
constexpr wchar_t kFunction[] = L"CStringPrecondition::CheckStringImpl";
}  // namespace

bool CStringPrecondition::IsPreconditionSatisfied(const AttributeMap& attributes, CSubstitutionManager* substitutions,
                                                  AttributeMap& arguments) {
    if (!read_operands(attributes, substitutions, {kAttrName, kAttrCompare, kAttrValue}, arguments,
                       L"CStringPrecondition::IsPreconditionSatisfied")) {
        return false;
    }
    const std::wstring& name = operand(arguments, kAttrName);
    const std::wstring& op = operand(arguments, kAttrCompare);
    const std::wstring& value = operand(arguments, kAttrValue);
    if (op == kOpEq) {
        return name == value;
    }
    if (op == kOpNeq) {
        return name != value;
    }
    if (op == kOpRegex) {
        return NSRegEx::DoesMatch(name, value);
    }
    XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgInvalidOperator, op);
    return false;
}

}  // namespace XMLUpdater::v2
