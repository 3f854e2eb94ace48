#include "xml_updater/preconditions/precondition_operands.h"

#include "xml_updater/preconditions/precondition_constants.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/substitutions/substitution_constants.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"precondition_operands.cpp";
}  // namespace

bool read_operands(const AttributeMap& attributes, CSubstitutionManager* substitutions,
                   std::initializer_list<const wchar_t*> keys, AttributeMap& operands, const wchar_t* function) {
    if (substitutions == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, function, __LINE__, kMsgPreconditionNoSubstitutor);
        return false;
    }
    for (const wchar_t* key : keys) {
        const auto it = attributes.find(key);
        SetAttribute(operands, key, it == attributes.end() ? std::wstring_view(kUnknownValue) : std::wstring_view(it->second));
    }
    for (const wchar_t* key : keys) {
        if (!substitutions->Substitute(operands.find(key)->second)) {
            XmlUpdaterLog(kXmlLogError, kFile, function, __LINE__, kMsgSubstituteArgumentsFailed);
            return false;
        }
    }
    return true;
}

}  // namespace XMLUpdater::v2
