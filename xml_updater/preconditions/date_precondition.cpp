#include "xml_updater/preconditions/date_precondition.h"

#include "xml_updater/preconditions/date_compare.h"
#include "xml_updater/preconditions/precondition_constants.h"
#include "xml_updater/preconditions/precondition_operands.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"date_precondition.cpp";
constexpr wchar_t kFunction[] = L"CDatePrecondition::CheckDateImpl";
}  // namespace

bool CDatePrecondition::IsPreconditionSatisfied(const AttributeMap& attributes, CSubstitutionManager* substitutions,
                                                AttributeMap& arguments) {
    if (!read_operands(attributes, substitutions, {kAttrName, kAttrCompare, kAttrValue}, arguments,
                       L"CDatePrecondition::IsPreconditionSatisfied")) {
        return false;
    }
    const std::wstring& name = operand(arguments, kAttrName);
    const std::wstring& value = operand(arguments, kAttrValue);
    const auto name_parts = parse_ymd(name);
    if (!name_parts) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgDateFromName, name);
        return false;
    }
    const auto value_parts = parse_ymd(value);
    if (!value_parts) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgDateFromValue, value);
        return false;
    }
    const auto result = compare_dates(operand(arguments, kAttrCompare), variant_date_from_parts(*name_parts),
                                      variant_date_from_parts(*value_parts));
    if (!result) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgUnknownOperator, operand(arguments, kAttrCompare));
        return false;
    }
    return *result;
}

}  // namespace XMLUpdater::v2
