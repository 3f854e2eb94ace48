#include "xml_updater/commands/set_variable_command.h"

#include "xml_updater/commands/command_support.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"set_variable_command.cpp";
constexpr wchar_t kFunction[] = L"CSetVariableCommand::Execute";
}  // namespace

bool CSetVariableCommand::Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                                  std::shared_ptr<NTelemetry::NAdHoc::IEventSender> /*sender*/) {
    if (substitutions == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgInvalidSubstitutor);
        return false;
    }
    auto key = attribute(attributes, kAttrKey);
    auto value = attribute(attributes, kAttrValue);
    if (!key || !value) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to read key or value attribute of SETVAR command");
        return false;
    }
    if (!substitutions->Substitute(*key) || !substitutions->Substitute(*value)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to substitute variables for the SETVAR command");
        return false;
    }
    SetAttribute(attributes, kAttrKey, *key);
    SetAttribute(attributes, kAttrValue, *value);
    if (!substitutions->SetVariable(*key, *value)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to set the variable");
        return false;
    }
    return true;
}

}  // namespace XMLUpdater::v2
