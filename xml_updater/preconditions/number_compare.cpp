#include "xml_updater/preconditions/number_compare.h"

#include "platform/text/numeric.h"
#include "xml_updater/preconditions/precondition_constants.h"
#include "xml_updater/substitutions/substitution_constants.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"number_compare.cpp";
constexpr wchar_t kFunction[] = L"CNumberPrecondition::CheckNumImpl";
}  // namespace

CompareOutcome compare_numbers(const std::wstring& name, const std::wstring& op, const std::wstring& value,
                               NumberPair* numbers) {
    if (name == kUnknownValue) {
        XmlUpdaterLog(kXmlLogWarning, kFile, kFunction, __LINE__, kMsgNumberKeyMissing, name, value);
        return CompareOutcome::Error;
    }
    const auto a = rk::text::wcstoll_like(name, 10);
    const auto b = rk::text::wcstoll_like(value, 10);
    if (a.consumed == 0 || b.consumed == 0) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgNumberConvert, name, value);
        return CompareOutcome::Error;
    }
    if (a.out_of_range || b.out_of_range) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgNumberRange, name, value);
        return CompareOutcome::Error;
    }
    if (numbers != nullptr) {
        *numbers = {a.value, b.value};
    }
    const auto result = apply_order_operator(op, a.value, b.value);
    if (!result) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgUnknownOperator, op);
        return CompareOutcome::Error;
    }
    return *result ? CompareOutcome::True : CompareOutcome::False;
}

}  // namespace XMLUpdater::v2
