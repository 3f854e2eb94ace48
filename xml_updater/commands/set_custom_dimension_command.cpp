#include "xml_updater/commands/set_custom_dimension_command.h"

#include "xml_updater/commands/command_support.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"set_custom_dimension_command.cpp";
constexpr wchar_t kFunction[] = L"CSetCustomDimensionCommand::Execute";
}  // namespace

bool CSetCustomDimensionCommand::Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                                         std::shared_ptr<NTelemetry::NAdHoc::IEventSender> sender) {
    if (substitutions == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgInvalidSubstitutor);
        return false;
    }
    if (!sender) {
        XmlUpdaterLog(kXmlLogWarning, kFile, kFunction, __LINE__,
                      L"Encountered SET_CD, but no event reporter was defined");
        return true;
    }
    const wchar_t* name_key = attributes.contains(kAttrFullName) ? kAttrFullName : kAttrName;
    auto name = attribute(attributes, name_key);
    auto value = attribute(attributes, kAttrValue);
    if (!name || !value) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to read name or value attribute of SET_CD command");
        return false;
    }
    if (!substitutions->Substitute(*name) || !substitutions->Substitute(*value)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to substitute variables for the SET_CD command");
        return false;
    }
    SetAttribute(attributes, name_key, *name);
    SetAttribute(attributes, kAttrValue, *value);
    return sender->SetCustomDimension(name->c_str(), value->c_str());
}

}  // namespace XMLUpdater::v2
