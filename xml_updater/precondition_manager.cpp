#include "xml_updater/precondition_manager.h"

#include <exception>

#include "xml_updater/hound.h"
#include "xml_updater/preconditions/coinflip_precondition.h"
#include "xml_updater/preconditions/date_delta_precondition.h"
#include "xml_updater/preconditions/date_precondition.h"
#include "xml_updater/preconditions/number_precondition.h"
#include "xml_updater/preconditions/precondition_constants.h"
#include "xml_updater/preconditions/string_precondition.h"
#include "xml_updater/preconditions/version_precondition.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"precondition_manager.cpp";
}  // namespace

CPreconditionManager::CPreconditionManager(std::shared_ptr<CSubstitutionManager> substitutions)
    : substitutions_(std::move(substitutions)) {
    RegisterPrecondition(kTypeString, CStringPrecondition::Create());
    RegisterPrecondition(kTypeNumber, CNumberPrecondition::Create());
    RegisterPrecondition(kTypeVersion, CVersionPrecondition::Create());
    RegisterPrecondition(kTypeCoinflip, CCoinflipPrecondition::Create());
    RegisterPrecondition(kTypeDate, CDatePrecondition::Create());
    RegisterPrecondition(kTypeDateDelta, CDateDeltaPrecondition::Create());
}

CPreconditionManager::~CPreconditionManager() = default;

bool CPreconditionManager::RegisterPrecondition(const std::wstring& keyword, std::unique_ptr<IPrecondition> handler) {
    if (keyword.empty() || !handler) {
        XmlUpdaterLog(kXmlLogError, kFile, L"CPreconditionManager::RegisterPrecondition", __LINE__,
                      kMsgPreconditionInvalidArgument);
        return false;
    }
    if (preconditions_.contains(keyword)) {
        XmlUpdaterLog(kXmlLogError, kFile, L"CPreconditionManager::RegisterPrecondition", __LINE__,
                      kMsgPreconditionExists);
        return false;
    }
    preconditions_.emplace(keyword, std::move(handler));
    return true;
}

bool CPreconditionManager::IsPreconditionSatisfied(const std::wstring& type, const AttributeMap& attributes) {
    constexpr wchar_t kFunction[] = L"CPreconditionManager::IsPreconditionSatisfied";
    const auto it = preconditions_.find(type);
    if (it == preconditions_.end() || !it->second) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgPreconditionUnknown, type);
        return false;
    }
    AttributeMap arguments;
    const RecycledAttributes recycled(arguments);
    bool satisfied = false;
    try {
        satisfied = it->second->IsPreconditionSatisfied(attributes, substitutions_.get(), arguments);
    } catch (const std::exception& e) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgPreconditionThrew, type, e.what());
    }
    Hound::PreconditionResult(kFile, kFunction, type, satisfied, arguments, attributes);
    return satisfied;
}

}  // namespace XMLUpdater::v2
