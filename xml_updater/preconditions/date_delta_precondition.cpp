#include "xml_updater/preconditions/date_delta_precondition.h"

#include "platform/text/numeric.h"
#include "xml_updater/preconditions/date_compare.h"
#include "xml_updater/preconditions/precondition_constants.h"
#include "xml_updater/preconditions/precondition_operands.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"date_delta_precondition.cpp";
constexpr wchar_t kFunction[] = L"CDateDeltaPrecondition::CheckDateDelatImpl";
}  // namespace

bool CDateDeltaPrecondition::IsPreconditionSatisfied(const AttributeMap& attributes,
                                                     CSubstitutionManager* substitutions, AttributeMap& arguments) {
    if (!read_operands(attributes, substitutions, {kAttrName, kAttrCompare, kAttrValue}, arguments,
                       L"CDateDeltaPrecondition::IsPreconditionSatisfied")) {
        return false;
    }
    std::wstring today = kTodayToken;
    if (!substitutions->Substitute(today)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgSubstituteArgumentsFailed);
        return false;
    }
    const std::wstring& name = operand(arguments, kAttrName);
    const std::wstring& value = operand(arguments, kAttrValue);
    const auto name_parts = parse_ymd(name);
    if (!name_parts) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgDateFromName, name);
        return false;
    }
    const auto today_parts = parse_ymd(today);
    if (!today_parts) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgDateFromValue, today);
        return false;
    }
    const auto days = rk::text::wcstol_like(value, 10);
    if (days.consumed == 0 || days.out_of_range) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgDayCountConvert, value);
        return false;
    }
    std::optional<double> target = variant_date_from_parts(*today_parts);
    if (target) {
        *target += days.value;
    }
    const auto result = compare_dates(operand(arguments, kAttrCompare), variant_date_from_parts(*name_parts), target);
    if (!result) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgUnknownOperator, operand(arguments, kAttrCompare));
        return false;
    }
    return *result;
}

}  // namespace XMLUpdater::v2
